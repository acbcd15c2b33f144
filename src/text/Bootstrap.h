#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The built-in texts: the few the application must show when the engine cannot start or has stopped,
// in five languages, and the texts of the window's frame, so that no key is shown before the engine's
// table arrives. The built-in language follows the system's preferred languages, is chosen once on
// first use and does not follow the language picked for the application.
class Bootstrap {
public:
    // The languages of the built-in table, "en" first.
    static const QStringList& languages();
    // The keys that every language of the built-in table carries.
    static const QStringList& keys();
    // The texts of the window's frame (menus, tray, log) until the engine's table arrives: English and
    // French; the other languages read the English ones, as the engine's own tables for them do.
    static const QStringList& frameKeys();

    // The built-in text of key in the built-in language, else in English, else nothing.
    static std::optional<QString> text(const QString& key);
    // The same lookup for a given language of the table (an unknown language gives the English text).
    static std::optional<QString> text(const QString& key, const QString& language);

    // The built-in language, chosen from the system's preferred languages on first use.
    static QString language();
    // The first entry of preferred whose first two characters, lowercased, name a built-in language;
    // "en" when none does.
    static QString languageFor(const QStringList& preferred);
    // The system's preferred languages, most preferred first.
    static QStringList systemPreferredLanguages();

    // Chooses the built-in language from preferred instead of the system's list, replacing any earlier
    // choice. Meant for start-up wiring before the first lookup, and for tests.
    static void choosePreferredLanguages(const QStringList& preferred);
};
