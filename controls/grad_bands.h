#pragma once
// Band arithmetic of the gradient box, kept apart from painting so it can be checked exactly.
#include <cstdint>

namespace sv {

// Rounds num / den (den > 0) to the nearest integer, an exact half to the even neighbour.
// Computed on integers: a floating-point quotient cannot tell an exact half from a value a
// hair away from it, and the bands must not depend on that.
std::int64_t RoundHalfEven(std::int64_t num, std::int64_t den);

// Width of one band: extent / steps rounded as above, at least 1.
int GradBandSize(int extent, int steps);

// Channel value of band i of `steps`: c1 + Round((c2 - c1) * i / steps), kept to a byte.
std::uint8_t GradBandChannel(int c1, int c2, int i, int steps);

} // namespace sv
