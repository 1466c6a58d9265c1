#include "script/film_description.h"

#include <algorithm>
#include <cmath>

#include "script/film_time.h"
#include "text/c_locale.h"

namespace dvbk {
namespace {

constexpr const char* MATCH_KINDS[] = {"file", "hash", "page", "title"};
constexpr const char* BLANKS = " \t\v\f\r\n";

// An offset beyond this (some 30 years) is a mistyped number, not a copy of a film.
constexpr double MAX_OFFSET = 1e9;

enum class LineKind { Other, Film, Duration, Match, Copy };

// One comment line read as a description line: its kind and value, or why it cannot be read.
struct DescriptionLine {
    LineKind kind = LineKind::Other;
    std::string error;
    std::string film;
    double duration = 0.0;
    MatchRule rule;  // a match line's rule, or a copy line's source
    TimeMap map;
};

std::string_view trim_space(std::string_view text) {
    while (!text.empty() && is_c_space(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && is_c_space(text.back()))
        text.remove_suffix(1);
    return text;
}

bool has_control_byte(std::string_view text) {
    return std::any_of(text.begin(), text.end(), is_c_control);
}

bool is_comment(std::string_view line) {
    std::string_view text = trim_space(line);
    return !text.empty() && text.front() == '#';
}

// "offset=±S" or "rate=R" into `map`.
bool read_map_field(std::string_view field, TimeMap& map) {
    size_t equals = field.find('=');
    if (equals == std::string_view::npos)
        return false;
    std::string_view name = field.substr(0, equals), value = field.substr(equals + 1);
    if (equals_ignoring_case(name, "offset")) {
        double offset = 0.0;
        if (!read_offset(value, offset) || !(std::fabs(offset) < MAX_OFFSET))
            return false;
        map.offset = offset;
        return true;
    }
    CReader reader(value);
    double rate = 0.0;
    if (!equals_ignoring_case(name, "rate") || !reader.read_double(rate) || !reader.at_end() ||
        !(rate >= MIN_RATE && rate <= MAX_RATE))
        return false;
    map.rate = rate;
    return true;
}

DescriptionLine read_description_line(std::string_view line) {
    DescriptionLine read;
    std::string_view text = trim_space(line);
    size_t colon = text.find(':');
    if (!is_comment(text) || colon == std::string_view::npos)
        return read;
    std::string_view keyword = trim_space(text.substr(1, colon - 1));
    std::string_view value = trim_space(text.substr(colon + 1));
    const std::pair<const char*, LineKind> keywords[] = {{"film", LineKind::Film},
                                                         {"duration", LineKind::Duration},
                                                         {"match", LineKind::Match},
                                                         {"copy", LineKind::Copy}};
    for (const auto& [word, kind] : keywords) {
        if (equals_ignoring_case(keyword, word))
            read.kind = kind;
    }
    if (read.kind == LineKind::Film) {
        read.film = fold_blanks(value);
        if (read.film.empty())
            read.error = "no film named";
    } else if (read.kind == LineKind::Duration) {
        if (!read_time(value, read.duration) || !std::isfinite(read.duration) || !(read.duration > 0.0))
            read.error = "a duration is a time above 0";
    } else if (read.kind == LineKind::Match) {
        read_match_rule(value, read.rule, read.error);
    } else if (read.kind == LineKind::Copy) {
        CopyLine copy;
        if (read_copy(value, copy, read.error)) {
            read.rule = copy.source;
            read.map = copy.map;
        }
    }
    return read;
}

// Whether two lines read as the same description line.
bool says_the_same(const DescriptionLine& a, const DescriptionLine& b) {
    return a.kind == b.kind && a.error == b.error && a.film == b.film && a.duration == b.duration && a.rule == b.rule &&
           copy_text({a.rule, a.map}) == copy_text({b.rule, b.map});
}

// Whether `line` is the one a new line `meant` keeps out or takes the place of: for a film or a
// duration, the first of its kind that reads; for a match or a copy, the first for its rule.
bool same_place(const DescriptionLine& line, const DescriptionLine& meant) {
    bool one_of_a_kind = meant.kind == LineKind::Film || meant.kind == LineKind::Duration;
    return line.kind == meant.kind && line.error.empty() && (one_of_a_kind || line.rule == meant.rule);
}

}  // namespace

bool read_match_rule(std::string_view text, MatchRule& rule, std::string& error) {
    size_t equals = text.find('=');
    auto kind = std::find_if(std::begin(MATCH_KINDS), std::end(MATCH_KINDS), [&](const char* name) {
        return equals != std::string_view::npos && equals_ignoring_case(trim_space(text.substr(0, equals)), name);
    });
    if (kind == std::end(MATCH_KINDS)) {
        error = "a match is file=, hash=, page= or title=";
        return false;
    }
    rule.kind = static_cast<MatchKind>(kind - std::begin(MATCH_KINDS));
    std::string_view value = trim_space(text.substr(equals + 1));
    rule.value = rule.kind == MatchKind::Title ? fold_blanks(value) : std::string(value);
    if (rule.value.empty() || has_control_byte(rule.value))
        error = std::string(*kind) + "= needs a value without control bytes";
    else if (rule.kind == MatchKind::Hash &&
             (rule.value.size() != 16 ||
              !std::all_of(rule.value.begin(), rule.value.end(), [](char c) { return hex_digit_value(c) >= 0; })))
        error = "hash= takes 16 hex digits";
    else if (rule.kind == MatchKind::File && rule.value.find_first_of("/\\") != std::string::npos)
        error = "file= takes a file name without its folder";
    else if (rule.kind == MatchKind::Page && rule.value.find(' ') != std::string::npos)
        error = "page= takes an address without blanks";
    else
        error.clear();
    if (rule.kind == MatchKind::Hash)
        std::transform(rule.value.begin(), rule.value.end(), rule.value.begin(), ascii_lower);
    return error.empty();
}

std::string match_rule_text(const MatchRule& rule) {
    return std::string(MATCH_KINDS[static_cast<size_t>(rule.kind)]) + "=" + rule.value;
}

std::string fold_blanks(std::string_view text) {
    std::string folded;
    for (char c : trim_space(text)) {
        if (!is_c_space(c))
            folded += c;
        else if (folded.back() != ' ')
            folded += ' ';
    }
    return folded;
}

std::string copy_text(const CopyLine& copy) {
    double offset = std::round(copy.map.offset * 1000.0) / 1000.0;
    return match_rule_text(copy.source) + " offset=" + (offset < 0.0 ? "-" : "+") +
           shortest_decimal(std::fabs(offset)) + " rate=" + shortest_decimal(std::round(copy.map.rate * 1e9) / 1e9);
}

bool read_copy(std::string_view text, CopyLine& copy, std::string& error) {
    size_t end = std::min(text.find_first_of(BLANKS), text.size());
    if (!read_match_rule(text.substr(0, end), copy.source, error))
        return false;
    if (copy.source.kind != MatchKind::Hash && copy.source.kind != MatchKind::Page) {
        error = "a copy is known by its hash= or its page=";
        return false;
    }
    while (!(text = trim_space(text.substr(end))).empty()) {
        end = std::min(text.find_first_of(BLANKS), text.size());
        if (!read_map_field(text.substr(0, end), copy.map)) {
            error = "a copy's map is offset=SECONDS rate=RATE, the rate from 0.5 to 2";
            return false;
        }
    }
    return true;
}

FilmDescription read_film_description(std::string_view text, std::vector<std::string>& warnings) {
    FilmDescription description;
    ScriptLines script = split_script(text);
    for (size_t i = 0; i < script.lines.size(); ++i) {
        const std::string& line = script.lines[i].text;
        DescriptionLine read = read_description_line(line);
        if (read.kind == LineKind::Film && read.error.empty() && !description.film.empty())
            read.error = "a second film line";
        if (read.kind == LineKind::Duration && read.error.empty() && description.duration > 0.0)
            read.error = "a second duration line";
        if (read.kind == LineKind::Copy && read.error.empty() &&
            std::any_of(description.copies.begin(), description.copies.end(),
                        [&](const CopyLine& copy) { return copy.source == read.rule; }))
            read.error = "a second copy line for this source";
        if (!read.error.empty()) {
            warnings.push_back("line " + std::to_string(i + 1) + ": " + read.error + ": " + quote_line(line));
        } else if (read.kind == LineKind::Film) {
            description.film = read.film;
        } else if (read.kind == LineKind::Duration) {
            description.duration = read.duration;
        } else if (read.kind == LineKind::Match) {
            if (std::find(description.matches.begin(), description.matches.end(), read.rule) ==
                description.matches.end())
                description.matches.push_back(read.rule);
        } else if (read.kind == LineKind::Copy) {
            description.copies.push_back({read.rule, read.map});
        }
    }
    return description;
}

ScriptEdit describe_script(std::string_view text, const FilmDescription& added) {
    // Each part as its line, with what the line must read as: a value that would not read back
    // the same (a control byte that would break the line, a bad hash, a map out of range) is
    // refused rather than written.
    std::vector<std::pair<std::string, bool>> parts;  // the line, and whether it reads as given
    if (!added.film.empty()) {
        std::string film = fold_blanks(added.film);
        parts.emplace_back("# film: " + film,
                           !has_control_byte(film) && read_description_line("# film: " + film).film == film);
    }
    if (added.duration != 0.0)
        parts.emplace_back("# duration: " + exact_time_text(added.duration), std::isfinite(added.duration));
    for (const MatchRule& rule : added.matches) {
        std::string line = "# match: " + match_rule_text(rule);
        parts.emplace_back(line, read_description_line(line).rule == rule);
    }
    for (const CopyLine& copy : added.copies) {
        std::string line = "# copy: " + copy_text(copy);
        parts.emplace_back(line, read_description_line(line).rule == copy.source);
    }

    ScriptEdit edit;
    ScriptLines script = split_script(text);
    std::vector<ScriptLine> new_lines;
    for (const auto& part : parts) {
        const std::string& line_text = part.first;
        bool as_given = part.second;
        DescriptionLine meant = read_description_line(line_text);
        if (!as_given || !meant.error.empty()) {
            edit.reason = "the line '" + quote_line(line_text) + "' cannot be written: " +
                          (meant.error.empty() ? "it would not read back as given" : meant.error);
            return edit;
        }
        auto there = std::find_if(script.lines.begin(), script.lines.end(), [&](const ScriptLine& old) {
            return same_place(read_description_line(old.text), meant);
        });
        bool queued = std::any_of(new_lines.begin(), new_lines.end(),
                                  [&](const ScriptLine& line) { return line.text == line_text; });
        if (queued || (there != script.lines.end() && says_the_same(read_description_line(there->text), meant)))
            continue;
        edit.written.push_back(line_text);
        ScriptLine line = read_script_line(line_text);
        if (there != script.lines.end()) {
            line.line_end = there->line_end;
            *there = line;
        } else {
            new_lines.push_back(line);
        }
    }
    // After the comments that open the text, before the first blank line or command.
    auto block_end = std::find_if(script.lines.begin(), script.lines.end(),
                                  [](const ScriptLine& line) { return !is_comment(line.text); });
    bool at_end = block_end == script.lines.end() && !new_lines.empty();
    script.lines.insert(block_end, new_lines.begin(), new_lines.end());
    edit.text = join_script(script, at_end);
    edit.ok = true;
    return edit;
}

}  // namespace dvbk
