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

QStringList SharedItems::links(const QStringList& items, const QString& workingDir) {
    QStringList out;
    for (const QString& item : items) {
        if (isURL(item)) {
            out << item;
            continue;
        }
        if (!item.isEmpty()) {
            const QFileInfo file(QDir(workingDir), item);
            if (file.exists()) {
                out << QUrl::fromLocalFile(file.absoluteFilePath()).toString(QUrl::FullyEncoded);
                continue;
            }
        }
        const QString text = item.trimmed();
        if (looksLikeLink(text))
            out << text;
    }
    return out;
}
