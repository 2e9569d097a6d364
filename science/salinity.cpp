#include "science/salinity.h"

#include <cmath>

namespace vandrel {
namespace {

// Conductivity of standard seawater, C(35, 15, 0), in mS/cm.
constexpr double c_35_15_0 = 42.914;

// PSS-78 coefficients, UNESCO Technical Papers in Marine Science 44 (1983).
// Salinity polynomial in sqrt(Rt):
constexpr double a0 = 0.0080, a1 = -0.1692, a2 = 25.3851, a3 = 14.0941, a4 = -7.0261, a5 = 2.7081;
// Temperature correction of the salinity polynomial:
constexpr double b0 = 0.0005, b1 = -0.0056, b2 = -0.0066, b3 = -0.0375, b4 = 0.0636, b5 = -0.0144;
// rt: conductivity ratio of standard seawater at T to that at 15 degrees:
constexpr double c0 = 0.6766097, c1 = 2.00564e-2, c2 = 1.104259e-4, c3 = -6.9698e-7, c4 = 1.0031e-9;
// Rp: pressure correction of the conductivity ratio:
constexpr double d1 = 3.426e-2, d2 = 4.464e-4, d3 = 4.215e-1, d4 = -3.107e-3;
constexpr double e1 = 2.070e-5, e2 = -6.370e-10, e3 = 3.989e-15;
constexpr double k = 0.0162;

}  // namespace

double practical_salinity(double pressure_dbar, double conductivity_mScm, double temperature_C) {
    const double P = pressure_dbar < 0.0 ? 0.0 : pressure_dbar;
    const double T = temperature_C;
    const double R = conductivity_mScm / c_35_15_0;
    const double rt = c0 + T * (c1 + T * (c2 + T * (c3 + T * c4)));
    const double Rp = 1.0 + P * (e1 + e2 * P + e3 * P * P) / (1.0 + d1 * T + d2 * T * T + (d3 + d4 * T) * R);
    if (!(Rp * rt > 0.0)) return 0.0;
    const double Rt = R / (Rp * rt);
    if (!(Rt > 0.0)) return 0.0;
    const double x = std::sqrt(Rt);
    const double dS = ((T - 15.0) / (1.0 + k * (T - 15.0))) * (b0 + x * (b1 + x * (b2 + x * (b3 + x * (b4 + x * b5)))));
    return a0 + x * (a1 + x * (a2 + x * (a3 + x * (a4 + x * a5)))) + dS;
}

}  // namespace vandrel
