#include "shell/SidebarModel.h"

#include "DownloadQueue.h"
#include "Session.h"
#include "SpeechModels.h"
#include "Strings.h"
#include "Transcriptions.h"

SidebarModel::SidebarModel(AppModel& model, QObject* parent) : QAbstractListModel(parent), m_model(model) {
    connect(&model.sessionPart(), &Session::stringsGenerationChanged, this, &SidebarModel::refreshTitles);
    connect(&model.queuePart(), &DownloadQueue::jobsChanged, this, &SidebarModel::refreshCounts);
    connect(&model.queuePart(), &DownloadQueue::activityChanged, this, &SidebarModel::refreshCounts);
    connect(&model.transcriptionsPart(), &Transcriptions::transcriptionsChanged, this,
            &SidebarModel::refreshCounts);
    connect(&model.modelsPart(), &SpeechModels::modelsInfoChanged, this, &SidebarModel::refreshCounts);
    connect(&model.sessionPart(), &Session::helloChanged, this, &SidebarModel::refreshCounts);
    refreshCounts();
}

QString SidebarModel::titleKey(AppModel::Tab tab) {
    switch (tab) {
    case AppModel::Tab::Download:
        return QStringLiteral("tab_download");
    case AppModel::Tab::Batch:
        return QStringLiteral("tab_batch");
    case AppModel::Tab::Transcription:
        return QStringLiteral("tab_transcription");
    case AppModel::Tab::Downloads:
        return QStringLiteral("tab_downloads");
    case AppModel::Tab::Browser:
        return QStringLiteral("tab_browser");
    case AppModel::Tab::Settings:
        return QStringLiteral("title_settings");
    }
    return {};
}

QString SidebarModel::symbol(AppModel::Tab tab) {
    switch (tab) {
    case AppModel::Tab::Download:
        return QStringLiteral("arrow.down.circle");
    case AppModel::Tab::Batch:
        return QStringLiteral("list.bullet");
    case AppModel::Tab::Transcription:
        return QStringLiteral("text.quote");
    case AppModel::Tab::Downloads:
        return QStringLiteral("square.grid.2x2");
    case AppModel::Tab::Browser:
        return QStringLiteral("globe");
    case AppModel::Tab::Settings:
        return QStringLiteral("gearshape");
    }
    return {};
}

int SidebarModel::activeJobCount(const AppModel& model) {
    int n = 0;
    for (const auto& job : model.queuePart().jobs()) {
        if (!job->state().isFinished())
            ++n;
    }
    return n;
}

int SidebarModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : tabCount;
}

QVariant SidebarModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= tabCount)
        return {};
    const AppModel::Tab tab = tabAt(index.row());
    switch (role) {
    case TitleRole:
        return Strings::text(titleKey(tab));
    case SymbolRole:
        return symbol(tab);
    case BadgeRole:
        return m_badges[index.row()];
    case LockedRole:
        return m_locked[index.row()];
    case TabRole:
        return static_cast<int>(tab);
    case Qt::AccessibleTextRole:
        return Strings::text(titleKey(tab));
    default:
        return {};
    }
}

QHash<int, QByteArray> SidebarModel::roleNames() const {
    return {{TitleRole, "title"},
            {SymbolRole, "symbol"},
            {BadgeRole, "badge"},
            {LockedRole, "locked"},
            {TabRole, "tab"}};
}

void SidebarModel::refreshTitles() {
    Q_EMIT dataChanged(index(0), index(tabCount - 1), {TitleRole, Qt::AccessibleTextRole});
}

void SidebarModel::refreshCounts() {
    std::array<int, tabCount> badges{};
    std::array<bool, tabCount> locked{};
    badges[rowOf(AppModel::Tab::Batch)] = activeJobCount(m_model);
    badges[rowOf(AppModel::Tab::Transcription)] =
        static_cast<int>(m_model.transcriptionsPart().activeTranscriptions().size());
    // Still selectable: the lock only says transcription cannot run yet (or here).
    locked[rowOf(AppModel::Tab::Transcription)] = !m_model.modelsPart().canTranscribe();
    for (int row = 0; row < tabCount; ++row) {
        const QList<int> roles = [&] {
            QList<int> r;
            if (badges[row] != m_badges[row])
                r << BadgeRole;
            if (locked[row] != m_locked[row])
                r << LockedRole;
            return r;
        }();
        m_badges[row] = badges[row];
        m_locked[row] = locked[row];
        if (!roles.isEmpty())
            Q_EMIT dataChanged(index(row), index(row), roles);
    }
}
