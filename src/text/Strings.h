#pragma once

#include <QMap>
#include <QString>

class LanguageListStore;
struct StringTable;

// The text lookup used by every part of the application: the engine's installed table first, then the
// built-in texts, then the key itself. Process-wide; tables are installed on the GUI thread.
class Strings {
public:
    // The text of key, with spaces and tabs (not line breaks) trimmed from both ends. Never fails.
    static QString text(const QString& key);
    // The text of key with its placeholders filled: every "{name}", and the first "{name:…}" up to its
    // closing brace. Placeholders without a value stay as they are. When "count" or "n" is 1 and the key
    // has a "_one" variant ("msg_clear_queue_one"), the variant's text is filled instead.
    static QString text(const QString& key, const QMap<QString, QString>& values);
    // The placeholder filling of text(key, values), on any text. Braces inside the values are never
    // taken for placeholders.
    static QString fill(const QString& text, const QMap<QString, QString>& values);

    // Replaces the installed table with the engine's reply (never merged) and aligns the stored
    // language list with its language.
    static void install(const StringTable& table);
    // The language of the installed table; "en" before any.
    static QString language();
    // True once a table with at least one text is installed.
    static bool hasTable();

    // Where the language list of the desktop's own menus is stored; not owned, may be null (then no list
    // is aligned). Set it at start-up before the first install.
    static void setLanguageListStore(LanguageListStore* store);

    // Forgets the installed table, its language and the store. For tests.
    static void reset();
};
