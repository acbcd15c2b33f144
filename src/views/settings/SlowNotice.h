#pragma once

#include <QString>

#include <optional>

struct ModelsInfo;

// The note under the model rows on a machine that transcribes slowly: how long one hour of media takes.
namespace SlowNotice {

// The speed factor as the note writes it: a whole number without decimals, else the shortest decimal
// form that reads back as the same number.
QString rate(double speedFactor);
// The time one hour of media takes, the divisor held at 0.01 or more.
QString work(double speedFactor);
// The whole sentence for a speed factor above 0.
QString message(double speedFactor);
// The speed factor the note is shown for: nothing without models information, on a machine with a
// graphics processor, or with a factor of 0 or less (or not a number).
std::optional<double> shownFor(const std::optional<ModelsInfo>& info);

} // namespace SlowNotice
