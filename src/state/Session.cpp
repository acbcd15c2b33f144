#include "Session.h"

#include "AppModel.h"

Session::Session(AppModel& app) : m_app(app) {}
