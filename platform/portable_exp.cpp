#include "platform/portable_exp.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

// Double-double arithmetic: a value is the unevaluated sum hi + lo with
// |lo| <= ulp(hi) / 2, about 106 bits. Products are split with Dekker's
// method rather than a fused multiply-add, so the code needs nothing but
// IEEE double operations rounded to nearest (SSE2 on x86; the compiler must
// not contract a * b + c, which ISO C++ modes of g++ do not).
namespace vandrel {
namespace {

struct dd {
    double hi;
    double lo;
};

dd quick_two_sum(double a, double b) {  // |a| >= |b|
    const double s = a + b;
    return {s, b - (s - a)};
}

dd two_sum(double a, double b) {
    const double s = a + b;
    const double bb = s - a;
    return {s, (a - (s - bb)) + (b - bb)};
}

void split(double a, double& hi, double& lo) {
    const double t = 134217729.0 * a;  // 2^27 + 1
    hi = t - (t - a);
    lo = a - hi;
}

dd two_prod(double a, double b) {
    const double p = a * b;
    double ah, al, bh, bl;
    split(a, ah, al);
    split(b, bh, bl);
    return {p, ((ah * bh - p) + ah * bl + al * bh) + al * bl};
}

dd mul(dd x, dd y) {
    dd p = two_prod(x.hi, y.hi);
    p.lo += x.hi * y.lo + x.lo * y.hi;
    return quick_two_sum(p.hi, p.lo);
}

dd add(dd x, double y) {
    dd s = two_sum(x.hi, y);
    s.lo += x.lo;
    return quick_two_sum(s.hi, s.lo);
}

dd add(dd x, dd y) {
    dd s = two_sum(x.hi, y.hi);
    s.lo += x.lo + y.lo;
    return quick_two_sum(s.hi, s.lo);
}

// ln 2 to 106 bits.
constexpr double ln2_hi = 6.93147180559945286227e-01;
constexpr double ln2_lo = 2.31904681384629955842e-17;

// Beyond these e^x is not a finite double, or rounds to zero.
constexpr double max_arg = 709.782712893383973096;
constexpr double min_arg = -745.1332191019412076235;

// x is split as (k/steps) ln2 + r with |r| <= ln2 / (2 steps) < 0.0014,
// where ten terms of the series give 106 bits.
constexpr int steps_per_octave = 256;

// 1/n! for n = 1..5 to 106 bits; the terms from r^6 on are below 2^-66
// and need only 53.
constexpr dd inverse_factorial[5] = {
    {1.0, 0.0},
    {0.5, 0.0},
    {0.16666666666666666, 9.25185853854297e-18},
    {0.041666666666666664, 2.3129646346357427e-18},
    {0.008333333333333333, 1.1564823173178714e-19},
};
constexpr double c6 = 1.0 / 720, c7 = 1.0 / 5040, c8 = 1.0 / 40320, c9 = 1.0 / 362880, c10 = 1.0 / 3628800;

// e^r - 1 = r(1 + r(1/2! + r(1/3! + ...))) for |r| < 0.0014.
dd expm1_small(dd r) {
    const double t = r.hi;
    const double tail = t * (c6 + t * (c7 + t * (c8 + t * (c9 + t * c10))));
    dd e = add(inverse_factorial[4], tail);
    for (int n = 3; n >= 0; --n) e = add(mul(e, r), inverse_factorial[n]);
    return mul(e, r);
}

// 2^(j/steps) for j = 0..steps-1, made once from the series: e^a with
// a = (j/steps) ln2 is (e^(a/steps))^steps, squared up as
// (e^b - 1)(e^b + 1) to keep the small part exact.
struct octave_table {
    dd entry[steps_per_octave];
    octave_table() {
        for (int j = 0; j < steps_per_octave; ++j) {
            dd b = two_prod(j, ln2_hi);
            b.lo += j * ln2_lo;
            b = quick_two_sum(b.hi, b.lo);
            b.hi /= double(steps_per_octave) * steps_per_octave;
            b.lo /= double(steps_per_octave) * steps_per_octave;
            dd e = expm1_small(b);
            for (int i = 1; i < steps_per_octave; i *= 2) e = mul(e, add(e, 2.0));
            entry[j] = add(e, 1.0);
        }
    }
};

double power_of_two(int k) {  // -1022 <= k <= 1023
    const uint64_t bits = static_cast<uint64_t>(k + 1023) << 52;
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

}  // namespace

double portable_exp(double x) {
    if (std::isnan(x)) return x;
    if (x > max_arg) return std::numeric_limits<double>::infinity();
    if (x < min_arg) return 0.0;
    static const octave_table table;

    // x = (k/steps) ln2 + r, r to about 2^-100 absolute; k = steps q + j.
    const double step_hi = ln2_hi / steps_per_octave;  // exact: a power of two apart
    const double step_lo = ln2_lo / steps_per_octave;
    const double k = std::floor(x / step_hi + 0.5);
    dd kstep = two_prod(k, step_hi);
    kstep.lo += k * step_lo;
    dd r = two_sum(x, -kstep.hi);
    r.lo -= kstep.lo;
    r = quick_two_sum(r.hi, r.lo);
    const auto ki = static_cast<int>(k);
    const int q = ki >= 0 ? ki / steps_per_octave : -((-ki + steps_per_octave - 1) / steps_per_octave);
    const int j = ki - q * steps_per_octave;

    // e^x = 2^q 2^(j/steps) e^r.
    const dd t = table.entry[j];
    const dd s = add(mul(t, expm1_small(r)), t);

    // Scale by 2^q: exact for normal results; a subnormal one is rounded
    // once more, the same way on every platform.
    const double m = s.hi + s.lo;
    if (q > 1023) return m * power_of_two(1023) * power_of_two(q - 1023);
    if (q < -1022) return m * power_of_two(q + 1000) * power_of_two(-1000);
    return m * power_of_two(q);
}

namespace detail {
namespace {

// The arguments k * 0.001 (k = 0..65535) where the GNU C library's exp, which
// the Linux build uses, is not correctly rounded, with the bits it gives.
struct exp_result {
    uint16_t k;
    uint64_t bits;
};
constexpr exp_result c_library_exp[] = {
    {2467, 0x402792f5f1d61274ULL},  {5660, 0x4071f260d70450c2ULL},  {6218, 0x407f5b2e68ac4b6fULL},
    {8267, 0x40ae6a80decece84ULL},  {8911, 0x40bcf51209e46e37ULL},  {9522, 0x40caac72e8498a4eULL},
    {10399, 0x40e007590a050a4eULL}, {10952, 0x40ebdd82287a12d3ULL}, {13080, 0x411d4072d3139af0ULL},
    {15113, 0x414beca01eaaabb0ULL}, {15766, 0x415ad35023b24e74ULL}, {17477, 0x41828ee31dba9833ULL},
    {17494, 0x4182e057b8d89ba7ULL}, {20417, 0x41c5f0b0d35a0aecULL}, {24046, 0x4219d4cc187b7d23ULL},
    {25017, 0x42310d6944118597ULL}, {26829, 0x425a1a012ae2b42cULL}, {28211, 0x4279fd5f035e85e2ULL},
    {29233, 0x42920e021eebfacaULL}, {30782, 0x42b53eac12c55c95ULL}, {31156, 0x42bee14fe193b7a5ULL},
    {34261, 0x4305874ab2bcc9e4ULL}, {35812, 0x4329621109945bf4ULL}, {35841, 0x432a2144ffa13313ULL},
    {37925, 0x435a3fd4f6966dbeULL}, {39037, 0x4373f3ccca89e03bULL}, {39394, 0x437c833ab7c725bdULL},
    {40443, 0x439459736005a479ULL}, {41142, 0x43a47807b1ec7e9bULL}, {41695, 0x43b1cacaf8cd7a9fULL},
    {43196, 0x43d3f465ae0fba61ULL}, {45679, 0x440ddffff3c41d2bULL}, {46145, 0x4417cdf3f8e81fbcULL},
    {47527, 0x4437b3d6e8fa1b56ULL}, {51280, 0x448f97125e7c2c64ULL}, {53072, 0x44b7b2c34c52b56bULL},
    {53515, 0x44c2741ab5d08150ULL}, {55455, 0x44f00d3bb3504f6aULL}, {57718, 0x4523492ed133ad87ULL},
    {58194, 0x452f0b00d1869326ULL}, {58718, 0x453a3653c6d6bafbULL}, {60604, 0x45659a19ff3f63a9ULL},
    {63535, 0x45a94f550e26facbULL}, {64801, 0x45c670f5f9e4350fULL}};

}  // namespace

double exp_thousandths_portable(uint16_t k) {
    for (const exp_result& r : c_library_exp) {
        if (r.k == k) {
            double d;
            std::memcpy(&d, &r.bits, sizeof d);
            return d;
        }
    }
    return portable_exp(k * 0.001);
}

}  // namespace detail

double exp_thousandths(uint16_t k) {
    if (detail::exp_from_c_library) return std::exp(k * 0.001);
    return detail::exp_thousandths_portable(k);
}

}  // namespace vandrel
