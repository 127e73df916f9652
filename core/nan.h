// The one NaN that stripfilt and pluckresid write wherever a result is not a number.
//
// Where two NaNs meet in one operation (a NaN tap times a NaN element, a NaN sum plus a NaN
// term), IEEE 754 leaves open which one the result carries, and x86 returns the operand that the
// compiler happened to put first: the scalar loop and the vector lanes, or two compilers, can then
// give NaNs of different signs for the same inputs. Replacing every NaN result by this one makes
// the bits the same on every path and every host.
#pragma once

#include <bit>
#include <cstdint>

namespace mexgeom {
namespace {

// The NaN that 0 / 0 gives on x86 (sign set, quiet, no payload), so that an empty average keeps
// the bits it always had there.
constexpr double kNaN = std::bit_cast<double>(UINT64_C(0xFFF8000000000000));

// x, or kNaN when x is not a number; for a double or a vector of lanes.
template <typename Number>
[[gnu::always_inline]] inline Number canonical(Number x) {
    return x == x ? x : Number{} + kNaN;
}

}  // namespace
}  // namespace mexgeom
