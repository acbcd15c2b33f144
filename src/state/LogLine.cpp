#include "LogLine.h"

#include "TextTrim.h"

#include <QTime>

namespace {
const QString dot = QStringLiteral("\u00B7");
const QString warning = QStringLiteral("\u26A0\uFE0E");
const QString check = QStringLiteral("\u2713");

QString line(const QString& mark, const QString& text) {
    return LogLine::stamp() + QStringLiteral("  ") + mark + QStringLiteral("  ") + text;
}
} // namespace

namespace LogLine {

QString stamp() {
    return QTime::currentTime().toString(QStringLiteral("HH:mm:ss"));
}

QString note(const QString& text) {
    return line(dot, text);
}

QString error(const QString& message) {
    return line(warning, message);
}

QStringList details(const QString& detail) {
    QStringList out;
    const QString s = stamp();
    for (const QString& piece : detail.split(u'\n', Qt::SkipEmptyParts))
        out << s + QStringLiteral("      ") + piece;
    return out;
}

QString engine(const QString& level, const QString& text) {
    if (level == QLatin1String("ok"))
        return line(check, text);
    if (level == QLatin1String("err"))
        return line(warning, text);
    return line(dot, text);
}

QString withoutMarks(QString text) {
    for (const char16_t c : {u'\u2713', u'\u26A0', u'\u23F9', u'\uFE0F'})
        text.remove(QChar(c));
    return trimSpacesAndTabs(text);
}

} // namespace LogLine
