#include "settings/SettingBindings.h"

#include "settings/SettingPicker.h"

#include "AppModel.h"
#include "Session.h"

#include <QCheckBox>
#include <QSignalBlocker>

namespace SettingBindings {

void bindFlag(AppModel& model, QCheckBox* toggle, const Setting::Flag& setting) {
    // The declarations are constants of the program: the pointer outlives every control.
    const Setting::Flag* field = &setting;
    auto sync = [&model, toggle, field] {
        const QSignalBlocker quiet(toggle);
        toggle->setChecked(field->read(model.sessionPart().settings()));
    };
    QObject::connect(toggle, &QCheckBox::clicked, toggle, [&model, field, sync](bool on) {
        model.sessionPart().saveSetting(field->with(on));
        sync();
    });
    QObject::connect(&model.sessionPart(), &Session::settingsChanged, toggle, sync);
    sync();
}

void savePicks(AppModel& model, SettingPicker* picker, const Setting::Text& setting,
               std::function<void()> refresh) {
    const Setting::Text* field = &setting;
    QObject::connect(picker, &SettingPicker::picked, picker, [&model, field, refresh](const QString& tag) {
        if (tag != field->read(model.sessionPart().settings()))
            model.sessionPart().saveSetting(field->with(tag));
        refresh();
    });
}

} // namespace SettingBindings
