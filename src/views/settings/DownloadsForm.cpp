#include "settings/DownloadsForm.h"

#include "settings/SettingBindings.h"
#include "settings/SettingPicker.h"
#include "settings/SettingsNames.h"

#include "kit/Switch.h"
#include "kit/TextsFollow.h"

#include "AppModel.h"
#include "Strings.h"

#include <QVBoxLayout>

using namespace SettingBindings;

DownloadsForm::DownloadsForm(AppModel& model, QWidget* parent)
    : SettingsForm(model, parent), m_model(model), m_speed(new SettingPicker(QStringLiteral("menu_speed"))),
      m_cookies(new SettingPicker(QStringLiteral("label_cookies"))) {
    setObjectName(QStringLiteral("downloadsForm"));

    QVBoxLayout* speed = addSection();
    addRow(speed, QStringLiteral("menu_speed"), m_speed);
    connect(m_speed, &SettingPicker::picked, this, [this](const QString& mode) {
        if (mode != SettingBindings::speed(m_model))
            m_model.saveSetting(QStringLiteral("speedMode"), SettingValue::text(mode));
        refresh();
    });

    // The section's header is the picker's title, so the picker shows none of its own.
    QVBoxLayout* cookies = addSection(QStringLiteral("label_cookies"));
    m_cookies->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_cookies->setMinimumContentsLength(24);
    addWide(cookies, m_cookies);
    connect(m_cookies, &SettingPicker::picked, this, [this](const QString& source) {
        if (source != cookieSource(m_model))
            m_model.saveCookieSource(source);
        refresh();
    });

    QVBoxLayout* options = addSection();
    auto* thumbnail = new Switch(QStringLiteral("checkbox_save_thumbnail"));
    addRow(options, QStringLiteral("checkbox_save_thumbnail"), thumbnail);
    bindFlag(model, thumbnail, &EngineSettings::saveThumbnail, QStringLiteral("saveThumbnail"));
    auto* generic = new Switch(QStringLiteral("checkbox_force_generic"));
    addRow(options, QStringLiteral("checkbox_force_generic"), generic);
    bindFlag(model, generic, &EngineSettings::forceGeneric, QStringLiteral("forceGeneric"));
    addHint(options, QStringLiteral("hint_force_generic"));

    connect(&model, &AppModel::settingsChanged, this, &DownloadsForm::refresh);
    connect(&model, &AppModel::allowedOptionsChanged, this, &DownloadsForm::refresh);
    followTexts(model, this, [this] { refresh(); });
}

void DownloadsForm::refresh() {
    QList<SettingPicker::Option> modes;
    for (const QString& mode : list(m_model, &EngineSettings::speedModes))
        modes.append({mode, Strings::text(SettingsNames::speedKey(mode))});
    m_speed->setOptions(modes, speed(m_model));

    QList<SettingPicker::Option> sources;
    for (const QString& source : m_model.allowedOptions().allCookieSources)
        sources.append({source, SettingsNames::cookieName(source)});
    m_cookies->setOptions(sources, cookieSource(m_model));
}
