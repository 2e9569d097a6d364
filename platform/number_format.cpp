#include "platform/number_format.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace vandrel {
namespace {

constexpr double powers_of_ten[] = {1e0, 1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,
                                    1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17};

// Above this the scaled value no longer has a fractional part we can trust.
constexpr double fast_path_limit = 4503599627370496.0 / 4;  // 2^50

constexpr uint64_t integer_powers_of_ten[] = {1ULL,
                                              10ULL,
                                              100ULL,
                                              1000ULL,
                                              10000ULL,
                                              100000ULL,
                                              1000000ULL,
                                              10000000ULL,
                                              100000000ULL,
                                              1000000000ULL,
                                              10000000000ULL,
                                              100000000000ULL,
                                              1000000000000ULL,
                                              10000000000000ULL,
                                              100000000000000ULL,
                                              1000000000000000ULL,
                                              10000000000000000ULL,
                                              100000000000000000ULL,
                                              1000000000000000000ULL,
                                              10000000000000000000ULL};

// "00" to "99": two digits per division halves the divisions.
constexpr char digit_pairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

int count_digits(uint64_t v) {
    int n = 1;
    while (n < 20 && v >= integer_powers_of_ten[n]) ++n;
    return n;
}

void put_pair(char* at, unsigned pair) { std::memcpy(at, digit_pairs + std::size_t{2} * pair, 2); }

// Writes exactly `width` digits of v (zero-padded), last digits first, two
// at a time. Numbers that fit 32 bits (nearly all a table holds) take the
// cheaper 32-bit divisions, which also spares 32-bit builds a library call.
template <typename Uint>
void put_digits_backwards(char* end, Uint v, int width) {
    while (width >= 2) {
        end -= 2;
        put_pair(end, static_cast<unsigned>(v % 100));
        v /= 100;
        width -= 2;
    }
    if (width == 1) end[-1] = static_cast<char>('0' + v % 10);
}

char* put_digits_fixed(char* out, uint64_t v, int width) {
    if (v <= UINT32_MAX)
        put_digits_backwards(out + width, static_cast<uint32_t>(v), width);
    else
        put_digits_backwards(out + width, v, width);
    return out + width;
}

char* put_digits(char* out, uint64_t v) {
    // The whole part of a table's number has a few digits.
    if (v < 10) {
        *out = static_cast<char>('0' + v);
        return out + 1;
    }
    if (v < 100) {
        put_pair(out, static_cast<unsigned>(v));
        return out + 2;
    }
    if (v < 10000) {
        const auto u = static_cast<unsigned>(v);
        if (u < 1000) {
            *out = static_cast<char>('0' + u / 100);
            put_pair(out + 1, u % 100);
            return out + 3;
        }
        put_pair(out, u / 100);
        put_pair(out + 2, u % 100);
        return out + 4;
    }
    return put_digits_fixed(out, v, count_digits(v));
}

// The digits of n / 10^P, a point and the last P digits of n, with P known
// to the compiler: its divisions become multiplications and its loops
// unroll.
template <int P>
char* put_scaled(char* out, uint64_t n) {
    constexpr auto scale = static_cast<uint32_t>(integer_powers_of_ten[P]);
    const uint64_t whole = n / scale;
    const auto frac = static_cast<uint32_t>(n - whole * scale);
    out = put_digits(out, whole);
    *out++ = '.';
    put_digits_backwards(out + P, frac, P);
    return out + P;
}

// The rounding error of y = a * b, exactly: a * b = y + product_error(a, b, y).
// Dekker's splitting needs nothing but IEEE double arithmetic rounded to
// nearest, so it gives the same answer on every platform.
double product_error(double a, double b, double y) {
    constexpr double splitter = 134217729.0;  // 2^27 + 1
    const double ta = splitter * a;
    const double ah = ta - (ta - a);
    const double al = a - ah;
    const double tb = splitter * b;
    const double bh = tb - (tb - b);
    const double bl = b - bh;
    return ((ah * bh - y) + ah * bl + al * bh) + al * bl;
}

}  // namespace

char* format_fixed(char* out, double v, int precision) {
    if (std::isfinite(v) && precision >= 0 && precision <= 17) {
        // Scale by 10^precision (an exact constant) and round to an integer.
        // The product carries at most half an ulp of error, so the rounding
        // is certain unless the product lies within that error of a halfway
        // point; there the exact error of the product decides.
        const double a = std::fabs(v);
        const double y = a * powers_of_ten[precision];
        if (y < fast_path_limit) {
            // 0 <= y < 2^50: a signed conversion (one instruction) truncates,
            // which is floor.
            const auto whole = static_cast<uint64_t>(static_cast<int64_t>(y));
            const double frac = y - static_cast<double>(whole);
            const double margin = y * 2.3e-16 + 1e-300;
            uint64_t n = whole + (frac > 0.5 ? 1 : 0);
            if (!(std::fabs(frac - 0.5) > margin)) {
                // Close to halfway: decide on the exact product y + r. frac - 0.5
                // is exact, and the sign of a rounded sum is that of the exact
                // sum, so d has the sign of the exact distance from halfway.
                const double d = (frac - 0.5) + product_error(a, powers_of_ten[precision], y);
                n = d > 0.0 ? whole + 1 : d < 0.0 ? whole : whole + (whole & 1);  // ties to even, as printf
            }
            if (std::signbit(v)) *out++ = '-';
            switch (precision) {  // the tables' precisions
                case 1:
                    return put_scaled<1>(out, n);
                case 2:
                    return put_scaled<2>(out, n);
                case 3:
                    return put_scaled<3>(out, n);
                case 4:
                    return put_scaled<4>(out, n);
                default:
                    break;
            }
            const uint64_t scale = integer_powers_of_ten[precision];
            const uint64_t whole_part = n / scale;
            out = put_digits(out, whole_part);
            if (precision > 0) {
                *out++ = '.';
                out = put_digits_fixed(out, n - whole_part * scale, precision);
            }
            return out;
        }
    }
    if (std::isnan(v)) {
        // glibc prints the sign of a NaN too.
        if (std::signbit(v)) *out++ = '-';
        *out++ = 'n';
        *out++ = 'a';
        *out++ = 'n';
        return out;
    }
    const auto r = std::to_chars(out, out + max_fixed_chars, v, std::chars_format::fixed, precision);
    return r.ptr;
}

char* format_int(char* out, int64_t v) {
    if (v < 0) {
        *out++ = '-';
        return put_digits(out, static_cast<uint64_t>(-(v + 1)) + 1);
    }
    return put_digits(out, static_cast<uint64_t>(v));
}

char* format_uint(char* out, uint64_t v, int width) {
    const int len = count_digits(v);
    for (int i = len; i < width; ++i) *out++ = ' ';
    return put_digits_fixed(out, v, len);
}

}  // namespace vandrel
