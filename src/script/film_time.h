// Film times as text: "95", "1:35", "1:02:03.25" in; out, H:MM:SS to the second or to the
// millisecond, or the shortest decimal of the seconds. The writers are the `…_time_text` family.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace dvbk {

// Reads a time a user wrote: S, M:S or H:M:S, where only S may carry a fraction or an exponent
// and every field may carry its own sign. M:S and H:M:S are read to the nearest microsecond, so
// that one instant is one number in every notation. On failure returns false and sets `seconds`
// to 0.
bool read_time(std::string_view text, double& seconds);

// Reads a shift of time: a time as read_time reads it, whose leading "-" is the whole time's, so
// that "-1:30" is 90 s earlier (read_time would sign the minutes alone).
bool read_offset(std::string_view text, double& seconds);

// "1:02:03": H:MM:SS with the seconds rounded after hours and minutes are taken off, for the status
// lines; never fails.
std::string rounded_time_text(double seconds);

// "0:02:59.5": H:MM:SS with a fraction only where there is one, as read_time reads it back.
std::string exact_time_text_ms(std::int64_t ms);

// The same for a time in seconds, rounded to the millisecond; a time too large for H:MM:SS (which
// read_time reads all the same, in seconds with an exponent) as its shortest decimal.
std::string exact_time_text(double seconds);

// The shortest decimal that reads back as exactly `value` ("14.5", "1.5e+40"), as read_time reads
// it for seconds.
std::string shortest_decimal(double value);

}  // namespace dvbk
