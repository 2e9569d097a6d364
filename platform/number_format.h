// Number formatting that gives exactly the characters of C's printf
// conversions used in our tables ("%.Nf", "%d", "%Nu"), whatever runtime the
// program is built against, and without the cost of parsing a format string.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vandrel {

// Enough room for any "%.Nf" of a double with N <= 17: 309 integer digits,
// sign, point and the decimals.
constexpr std::size_t max_fixed_chars = 330;

// Writes v as printf("%.*f", precision, v) would (correctly rounded, ties to
// even on the exact binary value, "-0.000" for small negatives, "inf"/"nan"
// spelled as glibc does) and returns the end of the text. 0 <= precision <= 17.
char* format_fixed(char* out, double v, int precision);

// printf("%lld") of v.
char* format_int(char* out, int64_t v);

// printf("%*u", width, v): right-aligned in at least width characters.
char* format_uint(char* out, uint64_t v, int width = 0);

}  // namespace vandrel
