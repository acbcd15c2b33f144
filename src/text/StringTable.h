#pragma once

#include "JsonReader.h"

#include <QMap>
#include <QString>
#include <QStringList>

// The engine's "i18n.table" reply.
struct StringTable {
    QString language;        // language of the returned table
    QString defaultLanguage; // "default": not used by the application
    QStringList languages;   // not used by the application
    QMap<QString, QString> strings;

    static StringTable fromJson(const JsonReader& r);
};
