#pragma once

#include "EngineEvent.h"

#include <QString>

#include <optional>

// The texts of the speed panel. Its byte counts use kilobytes and megabytes only, so large amounts stay
// in megabytes (the job's status line has its own megabytes-and-gigabytes formatter). Numbers that are
// not finite or do not fit count as zero.
namespace SpeedFigures {

QString bytes(qint64 count);
QString rate(double bytesPerSecond);
// The downloaded amount, then " / " and the total when the total is known.
QString downloaded(qint64 done, qint64 total);
// An em dash unless the time left is known and positive.
QString remaining(const std::optional<double>& seconds);
QString connections(int count);
QString protocol(const QString& name);

} // namespace SpeedFigures
