#include "settings/SettingsNames.h"

#include "Strings.h"

namespace SettingsNames {

QString folderName(const QString& outputDir) {
    QString path = outputDir;
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    if (path.isEmpty())
        return QStringLiteral("\u2014");
    if (path == QLatin1String("/"))
        return path;
    return path.section(u'/', -1);
}

QString languageName(const QString& code) {
    if (code == QLatin1String("fr"))
        return QStringLiteral("Fran\u00E7ais");
    if (code == QLatin1String("nl"))
        return QStringLiteral("Nederlands");
    if (code == QLatin1String("es"))
        return QStringLiteral("Espa\u00F1ol");
    if (code == QLatin1String("de"))
        return QStringLiteral("Deutsch");
    return QStringLiteral("English");
}

QString cookieName(const QString& source) {
    if (source == QLatin1String("None"))
        return Strings::text(QStringLiteral("cookies_source_none"));
    if (source == QLatin1String("Built-in Browser"))
        return Strings::text(QStringLiteral("cookies_source_browser_tab"));
    // Each word starts upper case, the rest lower case; a word begins after anything not a letter or digit.
    QString out = source.toLower();
    bool wordStart = true;
    for (QChar& c : out) {
        if (c.isLetterOrNumber()) {
            if (wordStart)
                c = c.toUpper();
            wordStart = false;
        } else {
            wordStart = true;
        }
    }
    return out;
}

QString appearanceKey(const QString& value) {
    return QStringLiteral("appearance_") +
           (value == QLatin1String("auto") ? QStringLiteral("system") : value);
}

QString speedKey(const QString& mode) {
    return QStringLiteral("speed_") + mode;
}

} // namespace SettingsNames
