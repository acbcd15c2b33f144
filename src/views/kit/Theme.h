#pragma once

#include <QColor>
#include <QPalette>

class QWidget;

// The colours of the look, derived from the palette so light and dark follow the appearance.
namespace Theme {

// The hierarchy of foreground styles: the text colour at falling opacity.
enum class Ink {
    Primary,
    Secondary,
    Tertiary,
    Quaternary,
    Accent,
    OnAccent,
    Warning,
    Caution,
    Success,
    Danger
};

// The application's palette unless one is given.
QPalette palette();
bool isDark(const QPalette& palette);

QColor ink(Ink ink, const QPalette& palette);
inline QColor ink(Ink which) {
    return ink(which, palette());
}
QColor withOpacity(QColor colour, double opacity);

// Card: the quaternary style at 0.28 inside, at 0.6 for the hairline border.
QColor cardFill(const QPalette& palette);
QColor cardBorder(const QPalette& palette);
// The track behind a segmented bar.
QColor segmentTrack(const QPalette& palette);
// Notices: the warning (or caution) colour at 0.12 behind, the accent at 0.1 for a neutral one.
QColor noticeFill(Ink ink, const QPalette& palette);

// Gives `widget` the text colour `ink` and keeps it when the application palette changes.
void setForeground(QWidget* widget, Ink ink);

} // namespace Theme
