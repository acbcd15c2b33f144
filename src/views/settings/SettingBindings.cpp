#include "settings/SettingBindings.h"

#include <QCheckBox>
#include <QSignalBlocker>

namespace SettingBindings {

namespace {
QString textOr(const AppModel& model, QString EngineSettings::*field, const char* fallback) {
    return model.settings() ? (*model.settings()).*field : QString::fromLatin1(fallback);
}
} // namespace

bool flag(const AppModel& model, bool EngineSettings::*field) {
    return model.settings() ? (*model.settings()).*field : false;
}

QString language(const AppModel& model) {
    return textOr(model, &EngineSettings::language, "en");
}

QString appearance(const AppModel& model) {
    return textOr(model, &EngineSettings::appearance, "auto");
}

QString searchEngine(const AppModel& model) {
    return textOr(model, &EngineSettings::searchEngine, "DuckDuckGo");
}

QString speed(const AppModel& model) {
    return textOr(model, &EngineSettings::speedMode, "auto");
}

QString cookieSource(const AppModel& model) {
    return textOr(model, &EngineSettings::cookieSource, "None");
}

QStringList list(const AppModel& model, QStringList EngineSettings::*field) {
    return model.settings() ? (*model.settings()).*field : QStringList();
}

void bindFlag(AppModel& model, QCheckBox* toggle, bool EngineSettings::*field, const QString& key) {
    auto sync = [&model, toggle, field] {
        const QSignalBlocker quiet(toggle);
        toggle->setChecked(flag(model, field));
    };
    QObject::connect(toggle, &QCheckBox::clicked, toggle, [&model, key, sync](bool on) {
        model.saveSetting(key, SettingValue::flag(on));
        sync();
    });
    QObject::connect(&model, &AppModel::settingsChanged, toggle, sync);
    sync();
}

} // namespace SettingBindings
