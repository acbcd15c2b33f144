#pragma once

#include <QString>
#include <QStringList>

// The in-memory log's line formats: "HH:mm:ss", two blanks, a mark, two blanks, the text; detail lines
// carry only the stamp and six blanks.
namespace LogLine {

inline constexpr int limit = 500;

QString stamp();
QString note(const QString& text);
QString error(const QString& message);
// The detail of an error split at line feeds, empty pieces dropped.
QStringList details(const QString& detail);
// An engine "job.log" line by level ("ok", "err", anything else).
QString engine(const QString& level, const QString& text);
// The text of an engine log line with the engine's own marks removed, trimmed of spaces and tabs;
// empty when nothing is left.
QString withoutMarks(QString text);

} // namespace LogLine
