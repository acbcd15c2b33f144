#include "AppViews.h"

ViewFactories appViews() {
    ViewFactories views = ViewFactories::standard();
#ifdef VAMBER_WITH_WEB
    // The browser pane of src/web plugs in here: views.panes.browser = a factory making it.
#endif
    return views;
}
