// Settings: the engine owns them; the application mirrors its last answer.
#include "Session.h"

#include "AppModel.h"
#include "Appearance.h"
#include "Composition.h"
#include "FileDialogs.h"
#include "Guarded.h"
#include "SettingFields.h"
#include "Spawn.h"
#include "SpeechModels.h"
#include "Strings.h"

QCoro::Task<void> Session::reloadSettings() {
    QPointer<Session> self(this);
    const auto reply = co_await ask<EngineMethods::SettingsGet>(EngineMethods::NoParams(), true);
    if (!self)
        co_return;
    // A failed read keeps the last good settings, so downloads keep their folder and cookie source.
    if (reply)
        setSettings(reply);
    co_await m_app.compositionPart().refreshAllowedOptions();
}

void Session::saveSetting(SettingsPatch patch) {
    spawn(this, [this, patch]() -> QCoro::Task<void> {
        QPointer<Session> self(this);
        const auto reply = co_await ask<EngineMethods::SettingsSet>(patch, true);
        if (!self)
            co_return;
        if (reply) {
            setSettings(reply);
            // Appearance and language follow the engine's answer, not what was sent.
            if (Setting::appearance.isIn(patch))
                applyAppearance(reply->appearance);
            if (Setting::language.isIn(patch))
                co_await applyLanguage(reply->language);
        }
        // The models depend on the folder and the chosen model; a failed save may still have moved them.
        if (self && (Setting::outputDir.isIn(patch) || Setting::transcriptionModel.isIn(patch)))
            co_await m_app.modelsPart().reloadModels();
    });
}

QCoro::Task<void> Session::applyLanguage(QString language) {
    QPointer<Session> self(this);
    const EngineMethods::I18nTableInLanguage::Params params{language};
    const auto table = co_await ask<EngineMethods::I18nTableInLanguage>(params, true);
    if (self && table)
        installStrings(*table);
}

void Session::applyAppearance(const QString& name) {
    if (m_app.services().appearance)
        m_app.services().appearance->apply(name);
}

void Session::saveCookieSource(const QString& source) {
    spawn(this, [this, source]() -> QCoro::Task<void> {
        QPointer<Session> self(this);
        const EngineMethods::SettingsSetCookieSource::Params params{source, QString()};
        const auto reply = co_await ask<EngineMethods::SettingsSetCookieSource>(params, true);
        if (self && reply)
            setSettings(reply);
    });
}

QCoro::Task<void> Session::chooseOutputFolder() {
    if (!m_app.services().fileDialogs)
        co_return;
    QPointer<Session> self(this);
    const QString start = Setting::outputDir.read(m_settings);
    const QString message = Strings::text(QStringLiteral("label_download_folder"));
    const std::optional<QString> folder =
        (co_await guarded(m_app.services().fileDialogs->chooseFolder(message, start))).value_or(std::nullopt);
    if (self && folder && !folder->isEmpty())
        saveSetting(Setting::outputDir.with(*folder));
}
