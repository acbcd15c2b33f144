#include "SharedItems.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

bool SharedItems::isURL(const QString& item) {
    // A scheme written in capitals is text typed by someone, not a link another program handed over.
    static const QRegularExpression scheme(QStringLiteral("^[a-z][a-z0-9+.-]*:\\S+$"));
    if (!scheme.match(item).hasMatch())
        return false;
    const QUrl url(item, QUrl::StrictMode);
    return url.isValid() && !url.isRelative();
}

bool SharedItems::looksLikeLink(const QString& text) {
    return text.startsWith(QLatin1String("http://")) || text.startsWith(QLatin1String("https://"));
}

bool SharedItems::isWebAddress(const QString& text) {
    if (!looksLikeLink(text))
        return false;
    // Blanks inside a shared link are taken as a browser takes them; the host must be there.
    const QUrl url(text, QUrl::TolerantMode);
    return url.isValid() && !url.host().isEmpty();
}

QString SharedItems::shown(const QString& item, int limit) {
    QString out;
    for (const QChar c : item.left(limit)) {
        const bool control = c.category() == QChar::Other_Control || c.category() == QChar::Other_Format ||
                             c.category() == QChar::Other_NotAssigned || c.isSurrogate();
        out += control ? QChar(u'?') : c;
    }
    if (item.size() > limit)
        out += QStringLiteral("…");
    return out;
}

SharedItems::Pick SharedItems::pick(const QStringList& items, const QString& workingDir) {
    const auto refused = [](const QString& item, const QString& why) {
        return Pick{Pick::Kind::Refused, {}, QStringLiteral("\"%1\" %2").arg(shown(item), why)};
    };
    const QString onlyWeb = QStringLiteral("only http and https addresses can be sent");
    for (const QString& item : items) {
        if (isURL(item)) {
            if (isWebAddress(item))
                return {Pick::Kind::Link, item, {}};
            if (looksLikeLink(item))
                return refused(item, QStringLiteral("is not a complete web address"));
            return refused(item, QStringLiteral("is not a web address: ") + onlyWeb);
        }
        // A path with a NUL in it names no file: the system would read only its beginning.
        if (!item.isEmpty() && !item.contains(QChar(0)) && QFileInfo(QDir(workingDir), item).exists())
            return refused(item, QStringLiteral("is a file, not a web address: ") + onlyWeb);
        const QString text = item.trimmed();
        if (looksLikeLink(text)) {
            if (isWebAddress(text))
                return {Pick::Kind::Link, text, {}};
            return refused(text, QStringLiteral("is not a complete web address"));
        }
    }
    return {};
}
