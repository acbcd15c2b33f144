#pragma once

#include <QColor>
#include <QImage>
#include <QRectF>
#include <QString>

#include <optional>

class QPainter;

// The application's drawn mark: a funnel of two arms meeting in the middle (the right one faded), a short
// stem and a downward arrow head, in one colour on a transparent ground. The tray draws it in the text
// colour, with the overall progress as an arc around it while downloads run; the application icons of
// the desktop entry are drawn from it too.
class FunnelIcon {
public:
    // The artwork centred in `rect` with one unit of margin per 18 units of size, in `color`.
    static void paint(QPainter& painter, const QRectF& rect, const QColor& color);

    // A square icon of `size` device-independent pixels at `devicePixelRatio`. With a progress (0…1),
    // the mark is drawn smaller inside a ring whose arc, from the top and clockwise, shows the progress.
    static QImage image(int size, qreal devicePixelRatio, const QColor& color,
                        std::optional<double> progress = std::nullopt);

    // The percentage shown beside the mark: "" with no progress, else the whole percent ("45%").
    static QString label(std::optional<double> progress);

    // Where the ring sits in an icon of `size` with a progress: its rectangle and its pen width.
    static QRectF ringRect(qreal size);
    static qreal ringWidth(qreal size);
    // Where the mark sits in an icon of `size` with a progress.
    static QRectF innerRect(qreal size);
};
