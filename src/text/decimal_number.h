// The plain decimal numbers of the Settings dialog: click fractions and the drift correction.
#pragma once

#include <string>
#include <string_view>

namespace dvbk {

// Reads a number as an input stream would ("12abc" gives 12, ".986" gives 0.986); no number gives 0.
double read_number(std::string_view text);

// Fixed-point with exactly `decimals` digits after the point, as %.*f writes it.
std::string format_fixed(double value, int decimals);

}  // namespace dvbk
