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
// C library's exp on x86-64 Linux, and on other systems the same bits, from
// portable_exp and the arguments where the two round differently.
double exp_thousandths(uint16_t k);

namespace detail {
// Whether exp_thousandths calls the C library's exp: only the GNU C library's
// on x86-64, which the arguments where it rounds differently were taken
// from. Its 32-bit x86 exp computes in the x87 unit and rounds otherwise.
#if defined(__GLIBC__) && defined(__x86_64__)
constexpr bool exp_from_c_library = true;
#else
constexpr bool exp_from_c_library = false;
#endif
// portable_exp(k * 0.001) brought to the GNU C library's results.
double exp_thousandths_portable(uint16_t k);
}  // namespace detail

}  // namespace vandrel
