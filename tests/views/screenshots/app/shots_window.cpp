// The whole main window with its menu bar, as the program shows it once started.
#include "Shots.h"

#include "Commands.h"
#include "MainWindow.h"

#include "Bootstrap.h"
#include "Strings.h"

#include <QHBoxLayout>
#include <QMenu>
#include <QMenuBar>

namespace {

class WindowWithMenus : public MainWindow {
public:
    explicit WindowWithMenus(AppModel& model) : MainWindow(model, {}), commands(model, menuBar()) {}
    Commands commands;
};

const ShotRegistration window("window-main", [](ShotContext& c) -> QWidget* {
    auto* made = new WindowWithMenus(c.model());
    c.model().setTab(AppModel::Tab::Transcription);
    return made;
});

} // namespace

namespace {

// Before the engine's table: the built-in words of the shot's language, nothing installed.
void withoutTable(ShotContext& c) {
    Strings::reset();
    Bootstrap::choosePreferredLanguages({c.language});
}

// The window during the splash (the engine's "hello" held) and on the failure view (refused for good).
WindowWithMenus* startingWindow(ShotContext& c, bool fails) {
    withoutTable(c);
    c.fixture.startEngine();
    if (fails)
        c.fixture.script(
            QStringLiteral("hello"),
            QJsonObject{{QStringLiteral("error"),
                         QJsonObject{{QStringLiteral("code"), 7},
                                     {QStringLiteral("message"),
                                      QStringLiteral("The engine could not start: its interpreter "
                                                     "quit while reading the settings.")}}}},
            0);
    else
        c.fixture.control(QStringLiteral("test.hold"),
                          QJsonObject{{QStringLiteral("method"), QStringLiteral("hello")}});
    auto* made = new WindowWithMenus(c.model());
    if (fails)
        c.fixture.boot();
    return made;
}

const ShotRegistration splashMenus("window-splash-menus",
                                   [](ShotContext& c) -> QWidget* { return startingWindow(c, false); },
                                   {.boot = false});
const ShotRegistration failureMenus("window-failure-menus",
                                    [](ShotContext& c) -> QWidget* { return startingWindow(c, true); },
                                    {.boot = false});

// The menus themselves, opened side by side, while the failure view stands.
class OpenMenus : public QWidget {
public:
    explicit OpenMenus(WindowWithMenus* window) : m_window(window) {
        auto* row = new QHBoxLayout(this);
        row->setAlignment(Qt::AlignTop | Qt::AlignLeft);
        for (const char* key : {"v2_menu_file", "v2_menu_tabs", "menu_account", "v2_menu_help"}) {
            QMenu* menu = window->commands.menu(QString::fromLatin1(key));
            menu->setParent(this, Qt::Widget);
            menu->setFixedSize(menu->sizeHint());
            row->addWidget(menu, 0, Qt::AlignTop);
        }
        row->addStretch(1);
    }

private:
    std::unique_ptr<WindowWithMenus> m_window;
};

const ShotRegistration failureMenusOpen("window-failure-menus-open",
                                        [](ShotContext& c) -> QWidget* {
                                            return new OpenMenus(startingWindow(c, true));
                                        },
                                        {.size = {1020, 320}, .boot = false});

} // namespace
