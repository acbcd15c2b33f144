#pragma once

#include "shell/ViewFactories.h"

class BrowserRuntime;

// The views the window hosts: those of src/views and, when the web engine is built, the browser pane
// of src/web on `browser`'s profile (which the first browser pane starts).
ViewFactories appViews(BrowserRuntime* browser);
