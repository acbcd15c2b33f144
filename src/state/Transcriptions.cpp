#include "Transcriptions.h"

#include "AppModel.h"

Transcriptions::Transcriptions(AppModel& app) : m_app(app) {}
