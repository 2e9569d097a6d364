// An exponential that gives the same bits on every platform: the C runtimes
// of Linux and Windows round exp() differently in the last place now and
// then, and a table printed with many digits shows it.
#pragma once

#include <cstdint>

namespace vandrel {

// e^x rounded to the nearest double (ties to even), computed with basic
// arithmetic only, so the result does not depend on the runtime library.
// Exact but for inputs within about 2^-90 relative of a halfway point.
// NaN gives NaN, large x infinity, very negative x zero.
double portable_exp(double x);

// e^(k * 0.001) for k = 0..65535, the light values of the packet table: the
// C library's exp on Linux, and on other systems the same bits, from
// portable_exp and the arguments where the two round differently.
double exp_thousandths(uint16_t k);

namespace detail {
// portable_exp(k * 0.001) brought to the GNU C library's results.
double exp_thousandths_portable(uint16_t k);
}  // namespace detail

}  // namespace vandrel
