#pragma once

#include "LanguageListStore.h"

#include <QStringList>

// The user's interface languages as the application stores them (the list the text lookup aligns with
// the engine's table, see LanguageListStore), and the system's preferences.
class LanguageStore : public LanguageListStore {
public:
    // languages(): the stored list, most preferred first; nothing when none was ever stored.
    // setLanguages(): stores the list.

    // The system's preferred languages (BCP 47 names such as "pt-BR"), most preferred first.
    virtual QStringList systemLanguages() const = 0;

    // Makes the first stored language the application's locale and loads the matching translations
    // of the toolkit's own dialogs; with nothing stored, the system's locale stays.
    virtual void apply() = 0;
};
