// The mark of a value that a decoded record does not hold: a NaN, never a 0
// that could pass for a reading.
#pragma once

#include <limits>

namespace vandrel {

constexpr double no_value = std::numeric_limits<double>::quiet_NaN();

}  // namespace vandrel
