#pragma once

#include <QColor>
#include <QString>

// A search hit's excerpt arrives with each matched run of words between U+2039 and U+203A.
namespace HighlightedExcerpt {

inline constexpr QChar openMark{0x2039};
inline constexpr QChar closeMark{0x203A};

// Rich text for a label: each marked run bold in `accent`, everything else escaped and shown as written
// (a stray closing mark stays visible; an opening mark without its closing one runs to the next opening
// mark or the end).
QString richText(const QString& text, const QColor& accent);
// The same in the look's accent colour.
QString richText(const QString& text);

// The excerpt for copying: every mark removed.
QString plainText(const QString& text);

} // namespace HighlightedExcerpt
