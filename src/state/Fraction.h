#pragma once

#include <algorithm>
#include <cmath>

// Engine fractions as views may show them: within 0…1, anything not a number counting as 0.
inline double unitFraction(double value) {
    if (std::isnan(value))
        return 0;
    return std::clamp(value, 0.0, 1.0);
}

// The whole percentage of a fraction, rounded down; the small slack keeps 0.29 at 29 rather than 28.
inline int percentOf(double fraction) {
    return static_cast<int>(std::floor(unitFraction(fraction) * 100 + 1e-9));
}
