#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>
#include <QStringList>

#include <vector>

// Symbols by their design names ("arrow.down.circle") mapped to freedesktop icon names; the desktop's
// theme first, Breeze when it lacks one.
namespace Icons {

struct Entry {
    const char* symbol;
    QStringList names; // tried in order
};

// Makes Breeze the fallback theme (and the theme, when the desktop names none). Call once after the
// QApplication exists; icon() calls it too.
void install();

const std::vector<Entry>& table();
// The freedesktop names of `symbol`, empty when the table does not know it.
QStringList names(const QString& symbol);
// The first of the names the themes have; a null icon when none has one.
QIcon icon(const QString& symbol);
// The symbol as a one-colour picture of `size` device-independent pixels, like a glyph in `colour`.
QPixmap tinted(const QString& symbol, int size, const QColor& colour, qreal devicePixelRatio = 1.0);
// tinted() from the application's pixmap cache, for what paints often (list rows): bounded by the cache's
// limit, and keyed by all that makes the picture, the icon theme in use too.
QPixmap cachedTinted(const QString& symbol, int size, const QColor& colour, qreal devicePixelRatio = 1.0);

} // namespace Icons
