// The one place where the panes and sheets of src/views join the window: set the factory of your pane
// or sheet here, e.g. `views.panes.download = [](AppModel& m) { return new DownloadPane(m); };`.
#include "shell/ViewFactories.h"

ViewFactories ViewFactories::standard() {
    ViewFactories views;
    return views;
}
