#include "download/ActionRow.h"

#include "AppModel.h"
#include "Composition.h"
#include "DownloadQueue.h"
#include "Prompts.h"
#include "Session.h"
#include "SettingFields.h"
#include "Spawn.h"
#include "Strings.h"
#include "TextTrim.h"
#include "kit/Icons.h"
#include "kit/LinkButton.h"
#include "kit/ProminentButton.h"
#include "kit/TextStyle.h"
#include "kit/Theme.h"

#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>

namespace {

bool isActive(const Job* job) {
    return job && !job->state().isFinished();
}

} // namespace

ActionRow::ActionRow(AppModel* model, QWidget* parent) : QWidget(parent), m_model(model) {
    setObjectName(QStringLiteral("action_row"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(12);

    m_download = new ProminentButton(QStringLiteral("arrow.down"), this);
    m_download->setObjectName(QStringLiteral("button_download"));
    m_download->setMinimumWidth(120);
    TextStyle::apply(m_download, TextStyle::Role::Body, QFont::Medium);
    connect(m_download, &QPushButton::clicked, this, &ActionRow::triggerDownload);
    row->addWidget(m_download);

    m_folder = new LinkButton(QStringLiteral("label_saved_in"), this);
    m_folder->setSymbol(QStringLiteral("folder"));
    connect(m_folder, &QPushButton::clicked, this, [this] {
        QPointer<AppModel> model(m_model);
        spawn(m_model,
              [model]() -> QCoro::Task<void> { co_await model->sessionPart().chooseOutputFolder(); });
    });
    row->addWidget(m_folder);
    row->addStretch(1);

    m_error = new LinkButton(QStringLiteral("status_error"), this);
    m_error->setSymbol(QStringLiteral("exclamationmark.triangle.fill"));
    TextStyle::apply(m_error, TextStyle::Role::Callout);
    Theme::setForeground(m_error, Theme::Ink::Warning);
    connect(m_error, &QPushButton::clicked, this, [this] { m_model->promptsPart().setShowLogSheet(true); });
    row->addWidget(m_error);

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("status_line"));
    m_status->setTextFormat(Qt::PlainText);
    TextStyle::apply(m_status, TextStyle::Role::Callout);
    Theme::setForeground(m_status, Theme::Ink::Secondary);
    row->addWidget(m_status);

    connect(&model->compositionPart(), &Composition::pastedTextChanged, this, &ActionRow::refresh);
    connect(&model->compositionPart(), &Composition::freshAnalysisChanged, this, &ActionRow::refresh);
    connect(&model->queuePart(), &DownloadQueue::currentDownloadChanged, this,
            &ActionRow::watchCurrentDownload);
    connect(&model->sessionPart(), &Session::settingsChanged, this, &ActionRow::refresh);
    connect(&model->sessionPart(), &Session::lastErrorChanged, this, &ActionRow::refresh);
    connect(model, &AppModel::statusChanged, this, &ActionRow::refresh);
    connect(&model->sessionPart(), &Session::stringsGenerationChanged, this, &ActionRow::refresh);
    watchCurrentDownload();
}

void ActionRow::watchCurrentDownload() {
    disconnect(m_jobState);
    if (const auto& job = m_model->queuePart().currentDownload())
        m_jobState = connect(job.get(), &Job::stateChanged, this, &ActionRow::refresh);
    refresh();
}

void ActionRow::triggerDownload() {
    if (!m_download->isEnabled())
        return;
    QPointer<AppModel> model(m_model);
    // The save panel may run first; the click does not wait for it.
    spawn(m_model,
          [model]() -> QCoro::Task<void> { co_await model->queuePart().enqueue(std::nullopt, true); });
}

void ActionRow::refresh() {
    const Job* job = m_model->queuePart().currentDownload().get();
    m_download->setText(Strings::text(isActive(job) ? QStringLiteral("button_downloading")
                                                    : QStringLiteral("button_download")));
    const std::optional<Analysis> fresh = m_model->compositionPart().freshAnalysis();
    m_download->setEnabled(!trimSpacesAndTabs(m_model->compositionPart().pastedText()).isEmpty() &&
                           !(fresh && fresh->isListing));

    const QString dir = Setting::outputDir.read(m_model->sessionPart().settings());
    const QString folder = dir.isEmpty() ? QString() : QFileInfo(QDir::cleanPath(dir)).fileName();
    m_folder->setText(Strings::text(QStringLiteral("label_saved_in"), {{QStringLiteral("folder"), folder}}));
    m_folder->setToolTip(dir);

    const bool error = m_model->sessionPart().lastError().has_value();
    m_error->setVisible(error);
    m_error->setText(Strings::text(QStringLiteral("status_error")));
    m_status->setVisible(!error);
    m_status->setText(m_model->status());
}
