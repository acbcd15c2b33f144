#include "StringTable.h"

StringTable StringTable::fromJson(const JsonReader& r) {
    StringTable t;
    t.language = r.req<QString>(QStringLiteral("language"));
    t.defaultLanguage = r.req<QString>(QStringLiteral("default"));
    t.languages = r.req<QStringList>(QStringLiteral("languages"));
    t.strings = r.req<QMap<QString, QString>>(QStringLiteral("strings"));
    return t;
}
