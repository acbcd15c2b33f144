#include "settings/SlowNotice.h"

#include "EngineTypes.h"
#include "Job.h"
#include "Strings.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

namespace SlowNotice {

QString rate(double s) {
    // Whole numbers that fit a 64-bit integer are written as one; larger ones keep no fraction either.
    if (std::isfinite(s) && std::trunc(s) == s) {
        if (std::fabs(s) < 9.0e18)
            return QString::number(static_cast<qint64>(s));
        return QString::number(s, 'f', 0);
    }
    return QString::number(s, 'g', QLocale::FloatingPointShortest);
}

QString work(double s) {
    return Job::roughDuration(3600.0 / std::max(s, 0.01));
}

QString message(double s) {
    const QString example =
        Strings::text(QStringLiteral("transcribe_slow_example"), {{QStringLiteral("work"), work(s)}});
    return Strings::text(QStringLiteral("msg_transcribe_slow"),
                         {{QStringLiteral("rate"), rate(s)}, {QStringLiteral("example"), example}});
}

std::optional<double> shownFor(const std::optional<ModelsInfo>& info) {
    if (!info || info->gpu || !(info->speedFactor > 0))
        return std::nullopt;
    return info->speedFactor;
}

} // namespace SlowNotice
