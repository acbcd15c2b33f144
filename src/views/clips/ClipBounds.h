#pragma once

#include <QtGlobal>

#include <algorithm>
#include <utility>

// A half-open range of milliseconds, lower ..< upper: its largest member is upper − 1, and lower wins when
// the range is too short to hold anything.
struct MsRange {
    qint64 lower = 0;
    qint64 upper = 0;

    qint64 clamp(qint64 value) const { return std::min(std::max(value, lower), std::max(upper - 1, lower)); }
    friend bool operator==(const MsRange&, const MsRange&) = default;
};

// The limits of a clip's two bounds and the window a player opens with.
namespace ClipBounds {

// The start may come within 1 ms of the end.
inline MsRange startLimit(qint64 outMs) {
    return {0, std::max<qint64>(outMs, 1)};
}

// The end keeps 500 ms after the start and reaches the duration itself once that is known and long enough.
inline MsRange endLimit(qint64 inMs, qint64 durationMs) {
    return {inMs + 500, std::max(durationMs + 1, inMs + 1000)};
}

// One second before and after a passage with a span; thirty seconds (at most the media) from a bare start.
// The end is capped by a known duration; the start is left as it is, even beyond the end.
inline std::pair<qint64, qint64> passageWindow(qint64 startMs, qint64 endMs, qint64 durationMs) {
    qint64 in = 0;
    qint64 out = 0;
    if (startMs < endMs) {
        in = std::max<qint64>(0, startMs - 1000);
        out = endMs + 1000;
    } else {
        in = startMs;
        out = std::min(std::max(durationMs, startMs + 1000), startMs + 30000);
    }
    if (durationMs >= 1)
        out = std::min(out, durationMs);
    return {in, out};
}

// One press of a step button: a second earlier or later, kept in the range.
inline qint64 step(qint64 ms, int direction, const MsRange& range) {
    return range.clamp(ms + (direction < 0 ? -1000 : 1000));
}

} // namespace ClipBounds
