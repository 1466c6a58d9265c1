#include "cli/input_lines.h"

namespace dvbk {
namespace {

// As the script loader cuts the lines it quotes.
constexpr size_t max_quoted_line = 200;

}  // namespace

bool LineReader::next(std::string& line) {
    if (!std::getline(in_, line))
        return false;
    ++number_;
    if (number_ == 1 && line.starts_with("\xEF\xBB\xBF"))
        line.erase(0, 3);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return true;
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

std::string quote_line(std::string_view line) {
    std::string quoted(line.substr(0, max_quoted_line));
    for (char& c : quoted) {
        auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && c != '\t') || byte == 0x7f)
            c = '?';
    }
    if (line.size() > max_quoted_line)
        quoted += "...";
    return quoted;
}

std::string at_line(const std::string& name, std::int64_t number) {
    return quote_line(name) + " line " + std::to_string(number) + ": ";
}

}  // namespace dvbk
