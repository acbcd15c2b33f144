#include "Prompts.h"

#include "AppModel.h"

Prompts::Prompts(AppModel& app) : m_app(app) {}
