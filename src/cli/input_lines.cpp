#include "cli/input_lines.h"

#include <algorithm>
#include <vector>

#include "text/c_locale.h"
#include "text/whole_file.h"

namespace dvbk {

bool LineReader::next(std::string& line) {
    if (!std::getline(in_, line))
        return false;
    ++number_;
    if (number_ == 1 && line.starts_with(UTF8_BOM))
        line.erase(0, UTF8_BOM.size());
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return true;
}

bool next_block(LineReader& reader, LineBlock& block) {
    block.lines.clear();
    std::string line;
    while (reader.next(line)) {
        bool blank = line.find_first_not_of(" \t") == std::string::npos;
        if (blank && !block.lines.empty())
            return true;
        if (blank)
            continue;
        if (block.lines.empty())
            block.first_line = reader.number();
        block.lines.push_back(std::move(line));
    }
    return !block.lines.empty();
}

std::vector<std::string_view> split_blanks(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t pos = 0;
    while (pos < line.size()) {
        size_t begin = line.find_first_not_of(" \t", pos);
        if (begin == std::string_view::npos)
            break;
        size_t end = line.find_first_of(" \t", begin);
        if (end == std::string_view::npos)
            end = line.size();
        fields.push_back(line.substr(begin, end - begin));
        pos = end;
    }
    return fields;
}

std::string at_line(const std::string& name, std::int64_t number) {
    return quote_line(name) + " line " + std::to_string(number) + ": ";
}

bool all_digits(std::string_view text) {
    return std::all_of(text.begin(), text.end(), is_c_digit);
}

bool read_whole(std::string_view digits, std::int64_t& value) {
    std::int32_t parsed = 0;
    CReader reader(digits);
    if (digits.empty() || !all_digits(digits) || !reader.read_int32(parsed) || !reader.at_end())
        return false;
    value = parsed;
    return true;
}

bool read_decimal(std::string_view text, double& value) {
    size_t point = text.find('.');
    std::string_view whole = text.substr(0, point);
    std::string_view fraction = point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
    if (whole.size() + fraction.size() == 0 || !all_digits(whole) || !all_digits(fraction))
        return false;
    CReader reader(text);
    double read = 0.0;
    if (!reader.read_double(read) || !reader.at_end())
        return false;
    value = read;
    return true;
}

bool read_clock_time(std::string_view text, double& seconds) {
    if (text.find(':') == std::string_view::npos)
        return read_decimal(text, seconds);
    std::vector<std::string_view> parts;
    for (size_t pos = 0;;) {
        size_t colon = text.find(':', pos);
        parts.push_back(text.substr(pos, colon == std::string_view::npos ? std::string_view::npos : colon - pos));
        if (colon == std::string_view::npos)
            break;
        pos = colon + 1;
    }
    if (parts.size() > 3)
        return false;
    std::int64_t hours = 0;
    std::int64_t minutes = 0;
    if (parts.size() == 3 && !read_whole(parts[0], hours))
        return false;
    if (!read_whole(parts[parts.size() - 2], minutes))
        return false;
    std::string_view last = parts.back();
    size_t point = last.find('.');
    std::int64_t whole_seconds = 0;
    if (!read_whole(last.substr(0, point), whole_seconds))
        return false;
    std::int64_t ms = 0;
    if (point != std::string_view::npos) {
        std::string_view fraction = last.substr(point + 1);
        if (!all_digits(fraction))
            return false;
        for (size_t i = 0; i < 3; ++i)
            ms = ms * 10 + (i < fraction.size() ? fraction[i] - '0' : 0);
    }
    std::int64_t total = ((hours * 60 + minutes) * 60 + whole_seconds) * 1000 + ms;
    seconds = static_cast<double>(total) / 1000.0;
    return true;
}

bool read_cue_timing(std::string_view line, double& start, double& end) {
    size_t arrow = line.find("-->");
    if (arrow == std::string_view::npos)
        return false;
    std::vector<std::string_view> before = split_blanks(line.substr(0, arrow));
    std::vector<std::string_view> after = split_blanks(line.substr(arrow + 3));
    return before.size() == 1 && !after.empty() && read_clock_time(before[0], start) && read_clock_time(after[0], end);
}

}  // namespace dvbk
