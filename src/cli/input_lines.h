// Reading the line-based text files other tools write, and quoting their lines in messages.
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

// The fields of a line separated by blanks and tabs.
std::vector<std::string_view> split_blanks(std::string_view line);

// A line of someone else's file as a message quotes it: cut short, and with control bytes shown
// as "?" so that a hostile file cannot send escape sequences to the user's terminal.
std::string quote_line(std::string_view line);

// "NAME line N: ", the start of a message about one line.
std::string at_line(const std::string& name, std::int64_t number);

}  // namespace dvbk
