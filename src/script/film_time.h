// Film times as text: "95", "1:35", "1:02:03.25" in, "H:MM:SS" out.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace dvbk {

// Reads a time a user wrote: S, M:S or H:M:S, where only S may carry a fraction or an exponent
// and every field may carry its own sign. M:S and H:M:S are read to the nearest microsecond, so
// that one instant is one number in every notation. On failure returns false and sets `seconds`
// to 0.
bool parse_time(std::string_view text, double& seconds);

// Writes H:MM:SS with the seconds rounded after hours and minutes are taken off; never fails.
std::string format_time(double seconds);

// The shortest decimal that reads back as exactly `value` ("14.5", "1.5e+40"), as parse_time reads
// it for seconds.
std::string shortest_decimal(double value);

// H:MM:SS with a fraction only where there is one, as parse_time reads it back: "0:02:59.5".
std::string script_time(std::int64_t ms);

}  // namespace dvbk
