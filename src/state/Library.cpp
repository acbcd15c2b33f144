#include "Library.h"

#include "AppModel.h"

Library::Library(AppModel& app) : m_app(app) {}
