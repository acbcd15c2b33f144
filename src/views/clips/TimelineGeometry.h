#pragma once

#include <QList>
#include <QtGlobal>

#include <algorithm>
#include <cmath>

// Where things lie on the trim timeline of a given width, and which time lies under a point: pure
// arithmetic, shared by painting, dragging and the frame strip.
struct TimelineGeometry {
    static constexpr double height = 52;
    static constexpr double handleWidth = 12;
    static constexpr double corner = 6;

    enum class Target { None, Start, End, Playhead };

    double width = 0;
    qint64 durationMs = 0;

    // 0 … width over 0 … duration; everything at 0 while the duration is unknown.
    double position(qint64 ms) const {
        if (durationMs < 1)
            return 0;
        return width * static_cast<double>(std::clamp<qint64>(ms, 0, durationMs)) /
               static_cast<double>(durationMs);
    }
    double startX(qint64 inMs) const { return position(inMs); }
    // Never closer than two handle widths after the start mark, even past the view's edge.
    double endX(qint64 inMs, qint64 outMs) const {
        return std::max(position(outMs), startX(inMs) + 2 * handleWidth);
    }
    // The time under x, pinned to the ends; half a millisecond rounds away from zero.
    qint64 msAt(double x) const {
        if (!(width > 0))
            return 0;
        const double f = std::clamp(x / width, 0.0, 1.0);
        return static_cast<qint64>(std::round(f * static_cast<double>(durationMs)));
    }
    // What a drag starting at x moves: the nearer handle within 18 points of its centre (a tie goes to the
    // start), else the playhead.
    Target target(double x, qint64 inMs, qint64 outMs) const {
        const double startCentre = startX(inMs) + handleWidth / 2;
        const double endCentre = endX(inMs, outMs) - handleWidth / 2;
        const double dS = std::abs(x - startCentre);
        const double dE = std::abs(x - endCentre);
        if (std::min(dS, dE) > handleWidth + 6)
            return Target::Playhead;
        return dS <= dE ? Target::Start : Target::End;
    }

    // The frame strip: one 16:9 slot of the strip's height per picture, at least one.
    int frameCount() const {
        if (!(width > 0))
            return 0;
        return std::max(1, static_cast<int>(std::ceil(width / (height * 16 / 9))));
    }
    // The middle of each of `count` equal slices of the media, in milliseconds.
    static QList<double> frameTimes(qint64 durationMs, int count) {
        QList<double> out;
        for (int i = 0; i < count; ++i)
            out << static_cast<double>(durationMs) / count * (i + 0.5);
        return out;
    }
};
