#pragma once

namespace vandrel {

// Practical salinity (PSS-78, UNESCO 1983) from in-situ measurements.
//   pressure_dbar     sea pressure in dbar (0 at the surface); a negative
//                     value is taken as 0
//   conductivity_mScm conductivity in mS/cm
//   temperature_C     temperature in degrees Celsius, used in the formulas
//                     as given (no conversion between temperature scales)
// Returns the practical salinity (dimensionless), or exactly 0 when the
// conductivity ratio or the product Rp * rt is not positive. No range checks:
// values outside the scale's range go through the same formulas.
double practical_salinity(double pressure_dbar, double conductivity_mScm, double temperature_C);

}  // namespace vandrel
