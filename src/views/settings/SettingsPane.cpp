#include "settings/SettingsPane.h"

#include "settings/DownloadsForm.h"
#include "settings/GeneralForm.h"
#include "settings/TranscriptionForm.h"

#include "kit/Icons.h"
#include "kit/TextsFollow.h"
#include "kit/Theme.h"

#include "AppModel.h"
#include "Session.h"
#include "Spawn.h"
#include "Strings.h"

#include <QShowEvent>
#include <QSignalBlocker>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {
struct TabEntry {
    const char* key;
    const char* symbol;
};
constexpr TabEntry tabEntries[] = {{"settings_tab_general", "gearshape"},
                                   {"settings_tab_download", "arrow.down.circle"},
                                   {"settings_tab_transcription", "text.quote"}};
} // namespace

SettingsPane::SettingsPane(AppModel& model, QWidget* parent)
    : QWidget(parent), m_model(model), m_tabs(new QTabWidget(this)) {
    setObjectName(QStringLiteral("settingsPane"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->addWidget(m_tabs);
    m_tabs->setObjectName(QStringLiteral("settingsTabs"));
    m_tabs->setDocumentMode(true);
    m_tabs->addTab(new GeneralForm(model), QString());
    m_tabs->addTab(new DownloadsForm(model), QString());
    m_tabs->addTab(new TranscriptionForm(model), QString());
    for (int i = 0; i < m_tabs->count(); ++i)
        m_tabs->tabBar()->setTabData(i, QString::fromLatin1(tabEntries[i].key));
    paintIcons();
    followTexts(model, this, [this] {
        setWindowTitle(Strings::text(QStringLiteral("title_settings")));
        for (int i = 0; i < m_tabs->count(); ++i)
            m_tabs->setTabText(i, Strings::text(QString::fromLatin1(tabEntries[i].key)));
    });

    auto follow = [this] {
        const QSignalBlocker quiet(m_tabs);
        m_tabs->setCurrentIndex(static_cast<int>(m_model.settingsSection()));
    };
    follow();
    connect(&model, &AppModel::settingsSectionChanged, this, follow);
    connect(m_tabs, &QTabWidget::currentChanged, this, [this](int index) {
        if (index >= 0)
            m_model.setSettingsSection(static_cast<AppModel::SettingsSection>(index));
    });
}

void SettingsPane::paintIcons() {
    const int side = m_tabs->tabBar()->fontMetrics().height();
    m_tabs->setIconSize(QSize(side, side));
    const QColor colour = Theme::ink(Theme::Ink::Primary, palette());
    for (int i = 0; i < m_tabs->count(); ++i)
        m_tabs->setTabIcon(
            i, Icons::tinted(QString::fromLatin1(tabEntries[i].symbol), side, colour, devicePixelRatioF()));
}

void SettingsPane::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange)
        paintIcons();
}

void SettingsPane::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    spawn(this,
          [model = &m_model]() -> QCoro::Task<void> { co_await model->sessionPart().reloadSettings(); });
}
