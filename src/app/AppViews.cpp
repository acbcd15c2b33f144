#include "AppViews.h"

#ifdef VAMBER_WITH_WEB
#include "BrowserPane.h"
#include "BrowserRuntime.h"
#endif

ViewFactories appViews(BrowserRuntime* browser) {
    ViewFactories views = ViewFactories::standard();
#ifdef VAMBER_WITH_WEB
    if (browser)
        views.panes.browser = [browser](AppModel& model) -> QWidget* {
            return new BrowserPane(model, browser->profile());
        };
#else
    Q_UNUSED(browser);
#endif
    return views;
}
