#include "Clips.h"

#include "AppModel.h"

Clips::Clips(AppModel& app) : m_app(app) {}
