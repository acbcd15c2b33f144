#include "Commands.h"

#include "kit/WebLink.h"
#include "shell/ChooseFiles.h"
#include "shell/SidebarModel.h"
#include "shell/StartNow.h"

#include "AppModel.h"
#include "ClipboardSource.h"
#include "Composition.h"
#include "Prompts.h"
#include "Session.h"
#include "Strings.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace {

// A text shown in a menu: an ampersand is a character, never a mnemonic.
QString menuText(const QString& text) {
    QString out = text;
    return out.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

QString quitTitle() {
    return Strings::text(QStringLiteral("menu_quit"), {{QStringLiteral("app"), QStringLiteral("Vamber")}});
}

} // namespace

QString Commands::supportPage() {
    return WebLink::supportPage();
}

QString Commands::releaseNotesPage() {
    return QStringLiteral("https://vamber.app/releases");
}

Commands::Commands(AppModel& model, QMenuBar* bar, QObject* parent) : QObject(parent), m_model(model) {
    QMenu* file = addMenu(bar, QStringLiteral("v2_menu_file"));
    connect(add(file, QStringLiteral("menu_clipboard_url"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_V)),
            &QAction::triggered, this, &Commands::pasteAddress);
    connect(add(file, QStringLiteral("button_choose_files"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_T)),
            &QAction::triggered, this, [this] {
                AppModel* model = &m_model;
                startNow([model] { return chooseFilesToTranscribe(model); });
            });
    file->addSeparator();
    connect(add(file, QStringLiteral("menu_settings"), QKeySequence(Qt::CTRL | Qt::Key_Comma)),
            &QAction::triggered, this, [this] { m_model.setTab(AppModel::Tab::Settings); });
    file->addSeparator();
    QAction* quit = add(file, QStringLiteral("menu_quit"), QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit->setMenuRole(QAction::QuitRole);
    connect(quit, &QAction::triggered, this, &Commands::quitRequested);

    QMenu* view = addMenu(bar, QStringLiteral("v2_menu_tabs"));
    // The first five places by their position; settings has its own command above.
    for (int row = 0; row < 5; ++row) {
        const AppModel::Tab tab = SidebarModel::tabAt(row);
        QAction* item =
            add(view, SidebarModel::titleKey(tab), QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_1 + row)));
        connect(item, &QAction::triggered, this, [this, tab] { m_model.setTab(tab); });
    }

    QMenu* account = addMenu(bar, QStringLiteral("menu_account"));
    connect(add(account, QStringLiteral("menu_clear_browser_data")), &QAction::triggered, this,
            [this] { m_model.promptsPart().setConfirmClearBrowserData(true); });
    account->addSeparator();
    connect(add(account, QStringLiteral("menu_check_updates")), &QAction::triggered, this, [this] {
        AppModel* model = &m_model;
        startNow([model] { return model->sessionPart().checkForUpdate(true); });
    });
    account->addSeparator();
    connect(add(account, QStringLiteral("v2_menu_show_log"), QKeySequence(Qt::CTRL | Qt::Key_L)),
            &QAction::triggered, this, [this] { m_model.promptsPart().setShowLogSheet(true); });
    QAction* report =
        add(account, QStringLiteral("menu_report_problem"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_L));
    connect(report, &QAction::triggered, this, [this] { m_model.promptsPart().setShowReportSheet(true); });
    // The engine sends the report: it waits for a running one.
    report->setEnabled(model.sessionPart().sessionLive());
    connect(&model.sessionPart(), &Session::sessionLiveChanged, report,
            [report, &model] { report->setEnabled(model.sessionPart().sessionLive()); });

    QMenu* help = addMenu(bar, QStringLiteral("v2_menu_help"));
    connect(add(help, QStringLiteral("menu_help_online")), &QAction::triggered, this,
            [] { WebLink::open(supportPage()); });
    connect(add(help, QStringLiteral("menu_release_notes")), &QAction::triggered, this,
            [] { WebLink::open(releaseNotesPage()); });

    connect(&model.sessionPart(), &Session::stringsGenerationChanged, this, &Commands::retitle);
    retitle();
}

QMenu* Commands::addMenu(QMenuBar* bar, const QString& key) {
    QMenu* menu = bar->addMenu(QString());
    menu->setObjectName(key);
    m_menus.insert(key, menu);
    return menu;
}

QAction* Commands::add(QMenu* menu, const QString& key, const QKeySequence& shortcut) {
    QAction* action = menu->addAction(QString());
    action->setObjectName(key);
    if (!shortcut.isEmpty())
        action->setShortcut(shortcut);
    m_actions.insert(key, action);
    return action;
}

void Commands::retitle() {
    for (auto it = m_menus.cbegin(); it != m_menus.cend(); ++it)
        it.value()->setTitle(menuText(Strings::text(it.key())));
    for (auto it = m_actions.cbegin(); it != m_actions.cend(); ++it)
        it.value()->setText(
            menuText(it.key() == QLatin1String("menu_quit") ? quitTitle() : Strings::text(it.key())));
}

void Commands::pasteAddress() {
    // The clipboard's text as it is (not trimmed); nothing at all without text.
    const ClipboardSource* clipboard = m_model.services().clipboard;
    const std::optional<QString> text = clipboard ? clipboard->text() : std::nullopt;
    if (!text)
        return;
    m_model.compositionPart().setPastedText(*text);
    m_model.setTab(AppModel::Tab::Download);
}
