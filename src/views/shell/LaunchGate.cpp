#include "shell/LaunchGate.h"

#include "shell/Placeholder.h"
#include "shell/StartNow.h"

#include "kit/SymbolLabel.h"
#include "kit/TextStyle.h"
#include "kit/Theme.h"

#include "AppModel.h"
#include "Prompts.h"
#include "Session.h"
#include "Strings.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedLayout>
#include <QVBoxLayout>

namespace {
// The window title and the splash text are fixed, never looked up.
const char* productName = "Vamber Video Downloader";
constexpr int failureIconSize = 40;

} // namespace

LaunchGate::LaunchGate(AppModel& model, std::function<QWidget*()> makeRoot, MakeSheet makeLog,
                       QWidget* parent)
    : QWidget(parent), m_model(model), m_makeRoot(std::move(makeRoot)), m_makeLog(std::move(makeLog)),
      m_pages(new QStackedLayout(this)) {
    setObjectName(QStringLiteral("launchGate"));
    m_splash = makeSplash();
    m_failure = makeFailure();
    m_pages->addWidget(m_splash);
    m_pages->addWidget(m_failure);
    connect(&model.sessionPart(), &Session::stringsReadyChanged, this, &LaunchGate::refresh);
    connect(&model.sessionPart(), &Session::engineFailureChanged, this, &LaunchGate::refresh);
    connect(&model.promptsPart(), &Prompts::showLogSheetChanged, this, &LaunchGate::syncLog);
    refresh();
    syncLog();
}

QWidget* LaunchGate::makeSplash() {
    auto* page = new QWidget(this);
    page->setObjectName(QStringLiteral("splash"));
    auto* layout = new QVBoxLayout(page);
    layout->setSpacing(12);
    layout->addStretch(1);
    auto* spinner = new QProgressBar(page);
    spinner->setObjectName(QStringLiteral("splash.progress"));
    spinner->setRange(0, 0); // indeterminate
    spinner->setTextVisible(false);
    spinner->setFixedWidth(160);
    layout->addWidget(spinner, 0, Qt::AlignHCenter);
    auto* name = new QLabel(QString::fromLatin1(productName), page);
    name->setObjectName(QStringLiteral("splash.title"));
    TextStyle::apply(name, TextStyle::Role::Headline);
    Theme::setForeground(name, Theme::Ink::Secondary);
    layout->addWidget(name, 0, Qt::AlignHCenter);
    layout->addStretch(1);
    return page;
}

QWidget* LaunchGate::makeFailure() {
    auto* page = new QWidget(this);
    page->setObjectName(QStringLiteral("failure"));
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(16);
    layout->addStretch(1);
    m_failureIcon = new SymbolLabel(QStringLiteral("exclamationmark.triangle"), failureIconSize,
                                    Theme::Ink::Secondary, page);
    m_failureIcon->setObjectName(QStringLiteral("failure.icon"));
    layout->addWidget(m_failureIcon, 0, Qt::AlignHCenter);
    m_failureText = new QLabel(page);
    m_failureText->setObjectName(QStringLiteral("failure.text"));
    m_failureText->setTextFormat(Qt::PlainText);
    m_failureText->setWordWrap(true);
    m_failureText->setAlignment(Qt::AlignHCenter);
    m_failureText->setMaximumWidth(failureTextWidth);
    m_failureText->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Minimum);
    m_failureText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Theme::setForeground(m_failureText, Theme::Ink::Secondary);
    // As wide as it may be (up to 420), centred, wrapping onto every line it needs.
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(m_failureText, 1000);
    row->addStretch(1);
    layout->addLayout(row);
    m_retry = new QPushButton(page);
    m_retry->setObjectName(QStringLiteral("v2_engine_retry"));
    connect(m_retry, &QPushButton::clicked, this, [this] {
        AppModel* model = &m_model;
        startNow([model] { return model->sessionPart().retryEngine(); });
    });
    // The log says why the start failed.
    m_showLog = new QPushButton(page);
    m_showLog->setObjectName(QStringLiteral("button_show_log"));
    connect(m_showLog, &QPushButton::clicked, this, [this] { m_model.promptsPart().setShowLogSheet(true); });
    const auto retitle = [this] {
        if (!m_retry)
            return;
        m_retry->setText(Strings::text(QStringLiteral("v2_engine_retry")));
        m_showLog->setText(Strings::text(QStringLiteral("button_show_log")));
    };
    connect(&m_model.sessionPart(), &Session::stringsGenerationChanged, m_retry, retitle);
    retitle();
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(12);
    buttons->addStretch(1);
    buttons->addWidget(m_showLog);
    buttons->addWidget(m_retry);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    layout->addStretch(1);
    return page;
}

void LaunchGate::refresh() {
    Page next = Page::Splash;
    if (m_root || m_model.sessionPart().stringsReady())
        next = Page::Root;
    else if (m_model.sessionPart().engineFailure())
        next = Page::Failure;

    if (next == Page::Root && !m_root) {
        // The root view presents the sheets from now on, this one too if it is still asked for.
        closeLogQuietly();
        m_root = m_makeRoot();
        m_root->setParent(this);
        m_pages->addWidget(m_root);
        // The gate's work is done: the splash and failure view are never shown again.
        m_pages->removeWidget(m_splash);
        m_pages->removeWidget(m_failure);
        m_splash->deleteLater();
        m_failure->deleteLater();
        m_splash = m_failure = nullptr;
        m_retry = nullptr;
        m_showLog = nullptr;
        m_failureText = nullptr;
    }
    if (next == Page::Failure) {
        m_failureText->setText(*m_model.sessionPart().engineFailure());
        m_retry->setText(Strings::text(QStringLiteral("v2_engine_retry")));
        m_showLog->setText(Strings::text(QStringLiteral("button_show_log")));
    }
    QWidget* shown = next == Page::Root ? m_root : next == Page::Failure ? m_failure : m_splash;
    m_pages->setCurrentWidget(shown);
    if (next != m_page) {
        m_page = next;
        Q_EMIT pageChanged(next);
    }
}

void LaunchGate::syncLog() {
    if (m_root)
        return;
    if (!m_model.promptsPart().showLogSheet()) {
        closeLogQuietly();
        return;
    }
    if (m_log)
        return;
    QDialog* sheet = m_makeLog ? m_makeLog(m_model, this) : nullptr;
    if (!sheet)
        sheet = new SheetPlaceholder(QStringLiteral("v2_menu_show_log"), QStringLiteral("v2_placeholder_log"),
                                     QStringLiteral("button_close"), this);
    sheet->setObjectName(QStringLiteral("logSheet"));
    sheet->setWindowModality(Qt::WindowModal);
    m_log = sheet;
    connect(sheet, &QDialog::finished, this, [this, sheet] {
        sheet->deleteLater();
        // Closed by the user (not by the gate): the flag goes back.
        if (m_log == sheet) {
            m_log = nullptr;
            m_model.promptsPart().setShowLogSheet(false);
        }
        // The keys go back to the window, as when a sheet over the main view closes.
        if (isVisible())
            window()->activateWindow();
    });
    sheet->open();
}

void LaunchGate::closeLogQuietly() {
    if (!m_log)
        return;
    QDialog* sheet = m_log;
    m_log = nullptr;
    sheet->done(QDialog::Rejected);
}
