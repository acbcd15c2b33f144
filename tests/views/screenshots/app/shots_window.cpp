// The whole main window with its menu bar, as the program shows it once started.
#include "Shots.h"

#include "Commands.h"
#include "MainWindow.h"

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
