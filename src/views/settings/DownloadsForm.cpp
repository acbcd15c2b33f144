#include "settings/DownloadsForm.h"

#include "settings/SettingBindings.h"
#include "settings/SettingPicker.h"
#include "settings/SettingsNames.h"

#include "kit/Switch.h"
#include "kit/TextsFollow.h"

#include "AppModel.h"
#include "Composition.h"
#include "Session.h"
#include "Strings.h"

#include <QVBoxLayout>

using namespace SettingBindings;

DownloadsForm::DownloadsForm(AppModel& model, QWidget* parent)
    : SettingsForm(model, parent), m_model(model), m_speed(new SettingPicker(QStringLiteral("menu_speed"))),
      m_cookies(new SettingPicker(QStringLiteral("label_cookies"))) {
    setObjectName(QStringLiteral("downloadsForm"));

    QVBoxLayout* speed = addSection();
    addRow(speed, QStringLiteral("menu_speed"), m_speed);
    savePicks(model, m_speed, Setting::speedMode, [this] { refresh(); });

    // The section's header is the picker's title, so the picker shows none of its own.
    QVBoxLayout* cookies = addSection(QStringLiteral("label_cookies"));
    m_cookies->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_cookies->setMinimumContentsLength(24);
    addWide(cookies, m_cookies);
    connect(m_cookies, &SettingPicker::picked, this, [this](const QString& source) {
        if (source != Setting::cookieSource.read(m_model.sessionPart().settings()))
            m_model.sessionPart().saveCookieSource(source);
        refresh();
    });

    QVBoxLayout* options = addSection();
    auto* thumbnail = new Switch(QStringLiteral("checkbox_save_thumbnail"));
    addRow(options, QStringLiteral("checkbox_save_thumbnail"), thumbnail);
    bindFlag(model, thumbnail, Setting::saveThumbnail);
    auto* generic = new Switch(QStringLiteral("checkbox_force_generic"));
    addRow(options, QStringLiteral("checkbox_force_generic"), generic);
    bindFlag(model, generic, Setting::forceGeneric);
    addHint(options, QStringLiteral("hint_force_generic"));

    connect(&model.sessionPart(), &Session::settingsChanged, this, &DownloadsForm::refresh);
    connect(&model.compositionPart(), &Composition::allowedOptionsChanged, this, &DownloadsForm::refresh);
    followTexts(model, this, [this] { refresh(); });
}

void DownloadsForm::refresh() {
    const std::optional<EngineSettings>& settings = m_model.sessionPart().settings();
    QList<SettingPicker::Option> modes;
    for (const QString& mode : Setting::speedModes.read(settings))
        modes.append({mode, Strings::text(SettingsNames::speedKey(mode))});
    m_speed->setOptions(modes, Setting::speedMode.read(settings));

    QList<SettingPicker::Option> sources;
    for (const QString& source : m_model.compositionPart().allowedOptions().allCookieSources)
        sources.append({source, SettingsNames::cookieName(source)});
    m_cookies->setOptions(sources, Setting::cookieSource.read(settings));
}
