#include "MediaFilters.h"

#include <QMimeDatabase>
#include <QRegularExpression>

namespace MediaFilters {

namespace {

// The extension without its point, in lower case; empty when it is not a plain name (a pattern
// character or a separator would widen the filter).
QString plainName(const QString& extension) {
    QString name = extension.trimmed().toLower();
    if (name.startsWith(u'.'))
        name.remove(0, 1);
    static const QRegularExpression plain(QStringLiteral("^[a-z0-9_+-]+$"));
    return plain.match(name).hasMatch() ? name : QString();
}

} // namespace

namespace {

// Every type that claims the name, best match first.
QList<QMimeType> claims(const QString& extension) {
    const QString name = plainName(extension);
    if (name.isEmpty())
        return {};
    static const QMimeDatabase database;
    return database.mimeTypesForFileName(QStringLiteral("x.") + name);
}

bool isAudio(const QMimeType& type) {
    return type.name().startsWith(QLatin1String("audio/"));
}

bool isVideo(const QMimeType& type) {
    return type.name().startsWith(QLatin1String("video/"));
}

} // namespace

Kinds kindsOf(const QString& extension) {
    Kinds kinds;
    for (const QMimeType& type : claims(extension)) {
        kinds.audio = kinds.audio || isAudio(type);
        kinds.video = kinds.video || isVideo(type);
    }
    return kinds;
}

QString typeOf(const QString& extension) {
    const QList<QMimeType> types = claims(extension);
    for (auto is : {&isAudio, &isVideo}) {
        for (const QMimeType& type : types) {
            if (is(type))
                return type.name();
        }
    }
    return {};
}

Patterns patterns(const QStringList& extensions) {
    Patterns out;
    for (const QString& extension : extensions) {
        const Kinds kinds = kindsOf(extension);
        if (!kinds.audio && !kinds.video)
            continue;
        const QString pattern = QStringLiteral("*.") + plainName(extension);
        if (out.all.contains(pattern))
            continue;
        out.all << pattern;
        if (kinds.audio)
            out.audio << pattern;
        if (kinds.video)
            out.video << pattern;
    }
    return out;
}

QStringList nameFilters(const Patterns& patterns, const QString& allLabel, const QString& audioLabel,
                        const QString& videoLabel) {
    QStringList out;
    auto add = [&out](const QString& label, const QStringList& group) {
        if (!group.isEmpty())
            out << label + QStringLiteral(" (") + group.join(u' ') + u')';
    };
    add(allLabel, patterns.all);
    add(audioLabel, patterns.audio);
    add(videoLabel, patterns.video);
    return out;
}

} // namespace MediaFilters
