#pragma once

#include "shell/ViewFactories.h"

// The views the window hosts: those of src/views and, when the web engine is built, the browser pane
// of src/web.
ViewFactories appViews();
