#pragma once

#include "AppModel.h"

#include <QString>

class QCheckBox;

// How the settings controls read and write the engine's settings record: every getter reads the model's
// settings (a fixed default while there are none), every setter only sends the change.
namespace SettingBindings {

// A Bool field of the settings, false without settings.
bool flag(const AppModel& model, bool EngineSettings::*field);
QString language(const AppModel& model);     // default "en"
QString appearance(const AppModel& model);   // default "auto"
QString searchEngine(const AppModel& model); // default "DuckDuckGo"
QString speed(const AppModel& model);        // default "auto"
QString cookieSource(const AppModel& model); // default "None"
// A list field of the settings, empty without settings.
QStringList list(const AppModel& model, QStringList EngineSettings::*field);

// Ties a switch to a Bool setting: the user's click saves it under `key`, and the switch shows the
// settings' value again at once (it moves when the engine's answer moves it).
void bindFlag(AppModel& model, QCheckBox* toggle, bool EngineSettings::*field, const QString& key);

} // namespace SettingBindings
