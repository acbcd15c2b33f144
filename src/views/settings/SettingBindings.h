#pragma once

#include "SettingFields.h"

#include <functional>

class AppModel;
class QCheckBox;
class SettingPicker;

// How the settings controls read and write the engine's settings record, each through the setting's one
// declaration (SettingFields.h): a control shows the settings' value (the declared fallback while there
// are none) and only sends the user's change.
namespace SettingBindings {

// Ties a switch to a Bool setting: the user's click saves it, and the switch shows the settings' value
// again at once (it moves when the engine's answer moves it).
void bindFlag(AppModel& model, QCheckBox* toggle, const Setting::Flag& setting);

// Saves the user's pick under `setting` when it is not the settings' value already, then runs `refresh`,
// which shows the settings' value again.
void savePicks(AppModel& model, SettingPicker* picker, const Setting::Text& setting,
               std::function<void()> refresh);

} // namespace SettingBindings
