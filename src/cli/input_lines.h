// Reading the line-based text files other tools write: their lines, fields and times. Messages
// quote their lines with quote_line (script/c_locale.h).
#pragma once

#include <cstdint>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

namespace dvbk {

// Lines as editors on any system save them: a UTF-8 byte-order mark before the first line and a
// CR before each LF are not part of the text.
class LineReader {
public:
    explicit LineReader(std::istream& in) : in_(in) {}

    bool next(std::string& line);
    std::int64_t number() const { return number_; }

private:
    std::istream& in_;
    std::int64_t number_ = 0;
};

// The next block of lines that blank lines (blanks and tabs only) separate, and the number of its
// first line; false at the end of the input.
struct LineBlock {
    std::vector<std::string> lines;
    std::int64_t first_line = 0;
};
bool next_block(LineReader& reader, LineBlock& block);

// The fields of a line separated by blanks and tabs.
std::vector<std::string_view> split_blanks(std::string_view line);

// "NAME line N: ", the start of a message about one line.
std::string at_line(const std::string& name, std::int64_t number);

// Decimal digits only, no sign or blank; an empty text counts.
bool all_digits(std::string_view text);

// A whole number of decimal digits only that fits 32 bits.
bool read_whole(std::string_view digits, std::int64_t& value);

// Digits with an optional point and fraction ("12", "12.5", ".5", "12."); no sign, no exponent.
bool read_decimal(std::string_view text, double& value);

// A time of an EDL or cue line: seconds ("123.45") or [HH:]MM:SS[.fff] with the fraction cut to
// milliseconds. No sign, no exponent.
bool read_clock_time(std::string_view text, double& seconds);

// A cue's timing line, "START --> END", each a clock time; anything after END (WebVTT's cue
// settings) is not read.
bool read_cue_timing(std::string_view line, double& start, double& end);

}  // namespace dvbk
