#include "controls/grad_bands.h"

namespace sv {

std::int64_t RoundHalfEven(std::int64_t num, std::int64_t den) {
    std::int64_t q = num / den;
    std::int64_t r = num % den;
    // Make the remainder non-negative so q is the floor.
    if (r < 0) {
        r += den;
        --q;
    }
    const std::int64_t twice = 2 * r;
    if (twice > den || (twice == den && (q & 1) != 0)) ++q;
    return q;
}

int GradBandSize(int extent, int steps) {
    const auto band = static_cast<int>(RoundHalfEven(extent, steps));
    return band == 0 ? 1 : band;
}

std::uint8_t GradBandChannel(int c1, int c2, int i, int steps) {
    const std::int64_t v = c1 + RoundHalfEven(static_cast<std::int64_t>(c2 - c1) * i, steps);
    return static_cast<std::uint8_t>(v & 0xFF);
}

} // namespace sv
