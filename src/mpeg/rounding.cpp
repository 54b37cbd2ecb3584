#include "mpeg/rounding.h"

#include <cmath>
#include <limits>

double RoundHalfEven(double value) {
    if (!std::isfinite(value)) return value;
    double floor = std::floor(value);
    double diff = value - floor;
    if (diff < 0.5) return floor;
    if (diff > 0.5) return floor + 1.0;
    return std::fmod(floor, 2.0) == 0.0 ? floor : floor + 1.0;
}

int32_t RoundHalfEvenToInt32(double value) {
    if (std::isnan(value)) return 0;
    double r = RoundHalfEven(value);
    if (r >= static_cast<double>(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
    if (r <= static_cast<double>(std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(r);
}

int64_t RoundHalfEvenToInt64(double value) {
    if (std::isnan(value)) return 0;
    double r = RoundHalfEven(value);
    // 2^63 is exactly representable; anything at or above it does not fit.
    if (r >= 9223372036854775808.0) return std::numeric_limits<int64_t>::max();
    if (r <= -9223372036854775808.0) return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(r);
}
