#include "Composition.h"

#include "AppModel.h"

Composition::Composition(AppModel& app) : m_app(app) {}
