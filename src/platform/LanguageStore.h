#pragma once

#include <QStringList>

// The user's interface languages as the application stores them, and the system's preferences.
class LanguageStore {
public:
    virtual ~LanguageStore() = default;

    // The stored list, most preferred first; empty when nothing is stored.
    virtual QStringList languages() const = 0;
    virtual void setLanguages(QStringList languages) = 0;

    // The system's preferred languages (BCP 47 names such as "pt-BR"), most preferred first.
    virtual QStringList systemLanguages() const = 0;

    // Makes the first stored language the application's locale and loads the matching translations
    // of the toolkit's own dialogs; with nothing stored, the system's locale stays.
    virtual void apply() = 0;
};
