#include "download/SpeedFigures.h"

#include "Job.h"

namespace SpeedFigures {

QString bytes(qint64 count) {
    return Job::byteAmount(count);
}

QString rate(double bytesPerSecond) {
    return Job::byteRate(bytesPerSecond);
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
