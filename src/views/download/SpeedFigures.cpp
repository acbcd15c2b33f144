#include "download/SpeedFigures.h"

#include "Job.h"

#include <QLocale>

#include <cmath>

namespace SpeedFigures {

namespace {

qint64 wholeOrZero(double v) {
    if (!std::isfinite(v) || std::abs(v) >= 9.2e18)
        return 0;
    return static_cast<qint64>(v);
}

} // namespace

QString bytes(qint64 count) {
    const QLocale locale;
    const double b = static_cast<double>(count);
    if (std::abs(b) < 1e6)
        return locale.toString(std::round(b / 1e3), 'f', 0) + QStringLiteral(" KB");
    const double mb = b / 1e6;
    return locale.toString(mb, 'f', std::abs(mb) >= 100 ? 0 : 1) + QStringLiteral(" MB");
}

QString rate(double bytesPerSecond) {
    return bytes(wholeOrZero(bytesPerSecond)) + QStringLiteral("/s");
}

QString downloaded(qint64 done, qint64 total) {
    if (total >= 1)
        return bytes(done) + QStringLiteral(" / ") + bytes(total);
    return bytes(done);
}

QString remaining(const std::optional<double>& seconds) {
    if (!seconds || !(*seconds > 0))
        return QStringLiteral("\u2014");
    return Job::duration(*seconds);
}

QString connections(int count) {
    return QString::number(count);
}

QString protocol(const QString& name) {
    return name.toUpper();
}

} // namespace SpeedFigures
