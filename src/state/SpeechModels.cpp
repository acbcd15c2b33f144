#include "SpeechModels.h"

#include "AppModel.h"

SpeechModels::SpeechModels(AppModel& app) : m_app(app) {}
