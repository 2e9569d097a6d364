#include "platform/number_format.h"

#include <charconv>
#include <cmath>

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

int count_digits(uint64_t v) {
    int n = 1;
    while (n < 20 && v >= integer_powers_of_ten[n]) ++n;
    return n;
}

// Writes exactly `width` digits of v (zero-padded), last digit first.
char* put_digits_fixed(char* out, uint64_t v, int width) {
    for (int i = width - 1; i >= 0; --i) {
        out[i] = static_cast<char>('0' + v % 10);
        v /= 10;
    }
    return out + width;
}

char* put_digits(char* out, uint64_t v) { return put_digits_fixed(out, v, count_digits(v)); }

// n / 10^p, with constant divisors for the precisions the tables use (a
// division by a variable is many times slower than one by a constant).
uint64_t divide_by_power_of_ten(uint64_t n, int p) {
    switch (p) {
        case 0:
            return n;
        case 1:
            return n / 10;
        case 2:
            return n / 100;
        case 3:
            return n / 1000;
        case 4:
            return n / 10000;
        default:
            return n / integer_powers_of_ten[p];
    }
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
            const auto whole = static_cast<uint64_t>(y);  // y >= 0: truncation is floor
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
            out = put_digits(out, divide_by_power_of_ten(n, precision));
            if (precision > 0) {
                *out++ = '.';
                out = put_digits_fixed(out, n, precision);  // the last `precision` digits of n
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
