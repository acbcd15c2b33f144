#pragma once

#include "LanguageStore.h"

#include <QString>

#include <memory>

class QTranslator;

// The language list under the key "languages" of the application's settings (or of an INI file).
// apply() sets the default locale and installs Qt's own qtbase_<lang> translations.
class SettingsLanguageStore : public LanguageStore {
public:
    // `iniFile` empty: the application's default settings.
    explicit SettingsLanguageStore(QString iniFile = {});
    ~SettingsLanguageStore() override;

    std::optional<QStringList> languages() const override;
    void setLanguages(const QStringList& languages) override;
    QStringList systemLanguages() const override;
    void apply() override;

private:
    QString m_iniFile;
    std::unique_ptr<QTranslator> m_translator;
};
