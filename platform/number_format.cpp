#include "platform/number_format.h"

#include <charconv>
#include <cmath>

namespace vandrel {
namespace {

constexpr double powers_of_ten[] = {1e0, 1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,
                                    1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17};

// Above this the scaled value no longer has a fractional part we can trust.
constexpr double fast_path_limit = 4503599627370496.0 / 4;  // 2^50

char* put_digits(char* out, uint64_t v) {
    char tmp[24];
    int n = 0;
    do {
        tmp[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0);
    while (n > 0) *out++ = tmp[--n];
    return out;
}

}  // namespace

char* format_fixed(char* out, double v, int precision) {
    if (std::isfinite(v) && precision >= 0 && precision <= 17) {
        // Fast path: scale by 10^precision (an exact constant) and round to an
        // integer. The product carries at most half an ulp of error, so the
        // rounding is certain unless the product lies within that error of a
        // halfway point; those rare cases go to the exact conversion below.
        const double a = std::fabs(v);
        const double y = a * powers_of_ten[precision];
        if (y < fast_path_limit) {
            const double fl = std::floor(y);
            const double frac = y - fl;
            const double margin = y * 2.3e-16 + 1e-300;
            if (std::fabs(frac - 0.5) > margin) {
                auto n = static_cast<uint64_t>(fl) + (frac > 0.5 ? 1 : 0);
                if (std::signbit(v)) *out++ = '-';
                char digits[24];
                char* end = put_digits(digits, n);
                auto len = static_cast<int>(end - digits);
                // Left-pad with zeros so there is at least one integer digit.
                int lead = precision + 1 - len;
                const char* src = digits;
                int int_digits = len - precision;
                if (lead > 0) {
                    *out++ = '0';
                    if (precision > 0) *out++ = '.';
                    for (int i = 1; i < lead; ++i) *out++ = '0';
                    for (int i = 0; i < len; ++i) *out++ = src[i];
                    return out;
                }
                for (int i = 0; i < int_digits; ++i) *out++ = *src++;
                if (precision > 0) {
                    *out++ = '.';
                    for (int i = 0; i < precision; ++i) *out++ = *src++;
                }
                return out;
            }
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
    char digits[24];
    char* end = put_digits(digits, v);
    auto len = static_cast<int>(end - digits);
    for (int i = len; i < width; ++i) *out++ = ' ';
    for (int i = 0; i < len; ++i) *out++ = digits[i];
    return out;
}

}  // namespace vandrel
