#include "script/script_edit.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "script/c_locale.h"
#include "script/film_time.h"
#include "script/filter_script.h"

namespace dvbk {
namespace {

// Mute ranges and combined ones share the mute track, cover ranges and combined ones the cover
// track; the loader wants each track in time order.
bool shares_track(RangeKind a, RangeKind b) {
    bool a_mutes = a != RangeKind::Cover, a_covers = a != RangeKind::Mute;
    bool b_mutes = b != RangeKind::Cover, b_covers = b != RangeKind::Mute;
    return (a_mutes && b_mutes) || (a_covers && b_covers);
}

struct ScriptLines {
    std::vector<ScriptLine> lines;
    std::string line_end;  // the text's own: that of its first line, CR LF when it has none
    bool ends_with_break = true;
};

ScriptLines split_script(std::string_view text) {
    ScriptLines script;
    size_t first_break = text.find('\n');
    script.line_end =
        first_break != std::string_view::npos && (first_break == 0 || text[first_break - 1] != '\r') ? "\n" : "\r\n";
    script.ends_with_break = text.empty() || text.back() == '\n';
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        std::string_view line = text.substr(start, end == std::string_view::npos ? end : end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        script.lines.push_back(read_script_line(line));
        start = end == std::string_view::npos ? text.size() : end + 1;
    }
    return script;
}

// The lines again, each with the text's line end but the last, which has one if it had one before
// or `last_is_new`.
std::string join_script(const ScriptLines& script, bool last_is_new) {
    std::string text;
    for (size_t i = 0; i < script.lines.size(); ++i) {
        text += script.lines[i].text;
        if (i + 1 < script.lines.size() || script.ends_with_break || last_is_new)
            text += script.line_end;
    }
    return text;
}

bool loads(const std::string& text, std::string& error) {
    FilterScript check;
    std::istringstream in(text);
    if (load_filter_script(in, "the script", check))
        return true;
    error = check.load_error;
    return false;
}

std::string time_text(double seconds) {
    return script_time(std::llround(seconds * 1000.0));
}

// Where a new line of `kind` starting at `start` goes: after the last line it must follow (one on
// a track it shares starting no later, or failing those any range), else before the first such
// line; with no range at all, before the film's end line or at the end.
size_t insertion_point(const std::vector<ScriptLine>& lines, RangeKind kind, double start) {
    for (bool same_track : {true, false}) {
        std::optional<size_t> after, first;
        for (size_t i = 0; i < lines.size(); ++i) {
            if (!lines[i].kind || (same_track && !shares_track(*lines[i].kind, kind)))
                continue;
            if (!first)
                first = i;
            if (lines[i].start <= start)
                after = i;
        }
        if (after)
            return *after + 1;
        if (first)
            return *first;
    }
    auto end_line = std::find_if(lines.begin(), lines.end(), [](const ScriptLine& line) { return line.film_end; });
    return static_cast<size_t>(end_line - lines.begin());
}

}  // namespace

ScriptLine read_script_line(std::string_view text) {
    ScriptLine line;
    line.text = std::string(text);
    std::vector<std::string_view> fields;
    size_t start = 0;
    while (fields.size() < 3) {
        size_t comma = text.find(',', start);
        fields.push_back(trim_blanks(text.substr(start, comma == std::string_view::npos ? comma : comma - start)));
        if (comma == std::string_view::npos)
            break;
        start = comma + 1;
    }
    if (equals_ignoring_case(fields[0], "End")) {
        line.film_end = fields.size() > 1 && parse_time(fields[1], line.start);
        return line;
    }
    double start_time = 0.0, end_time = 0.0;
    std::optional<RangeKind> kind = range_kind(fields[0]);
    if (kind && fields.size() == 3 && parse_time(fields[1], start_time) && parse_time(fields[2], end_time)) {
        line.kind = kind;
        line.start = start_time;
        line.end = end_time;
    }
    return line;
}

std::string range_line(const RecordedRange& range) {
    return std::string(range_command(range.kind)) + ", " + time_text(range.start) + ", " + time_text(range.end);
}

ScriptEdit add_range(std::string_view text, const RecordedRange& range) {
    ScriptEdit edit;
    if (!(range.start >= 0.0) || !(range.end > range.start)) {
        edit.reason = "it would end before it starts";
        return edit;
    }
    ScriptLines script = split_script(text);
    std::vector<ScriptLine>& lines = script.lines;

    // Ranges of its kind that overlap or touch it become one with it, on the line of the first.
    RecordedRange merged = range;
    std::vector<size_t> joined;
    for (bool grew = true; grew;) {
        grew = false;
        for (size_t i = 0; i < lines.size(); ++i) {
            const ScriptLine& line = lines[i];
            if (line.kind != range.kind || std::find(joined.begin(), joined.end(), i) != joined.end() ||
                line.start > merged.end || line.end < merged.start)
                continue;
            merged.start = std::min(merged.start, line.start);
            merged.end = std::max(merged.end, line.end);
            joined.push_back(i);
            grew = true;
        }
    }
    bool at_end = false;
    if (joined.empty()) {
        size_t at = insertion_point(lines, range.kind, range.start);
        at_end = at == lines.size();
        ScriptLine added;
        added.text = range_line(range);
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), added);
    } else {
        std::sort(joined.begin(), joined.end());
        lines[joined.front()].text = range_line(merged);
        for (size_t k = joined.size(); k-- > 1;)
            lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(joined[k]));
    }

    edit.text = join_script(script, at_end);

    if (!loads(edit.text, edit.reason)) {
        edit.text.clear();
        return edit;
    }
    edit.ok = true;
    return edit;
}

ScriptEdit retime_script(std::string_view text, const TimeMap& map, std::vector<std::string>& warnings) {
    ScriptLines script = split_script(text);
    std::vector<ScriptLine> kept;
    for (size_t i = 0; i < script.lines.size(); ++i) {
        ScriptLine line = script.lines[i];
        std::string where = "line " + std::to_string(i + 1) + " (" + quote_line(line.text) + ")";
        if (line.kind) {
            double start = map.apply(line.start), end = map.apply(line.end);
            if (end <= 0.0) {
                warnings.push_back(where + " falls before 0:00:00 in the copy and is left out");
                continue;
            }
            if (start < 0.0) {
                warnings.push_back(where + " starts before 0:00:00 in the copy; it starts at 0:00:00");
                start = 0.0;
            }
            line.text = range_line(RecordedRange{*line.kind, start, end});
        } else if (line.film_end) {
            line.text = "End, " + time_text(std::max(0.0, map.apply(line.start)));
        }
        kept.push_back(std::move(line));
    }
    script.lines = std::move(kept);
    ScriptEdit edit;
    edit.text = join_script(script, false);
    edit.ok = loads(edit.text, edit.reason);
    if (!edit.ok)
        edit.text.clear();
    return edit;
}

std::string new_script_text() {
    return "# DunvelBlenk filter script\r\n"
           "# One range a line: Dunvel (mute), Blenk (cover) or DunvelBlenk (both), then its start and\r\n"
           "# end, as H:MM:SS.mmm, M:SS or seconds. \"End, time\" gives the film's length.\r\n";
}

}  // namespace dvbk
