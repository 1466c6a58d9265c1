#include "script/script_edit.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "script/film_time.h"
#include "script/filter_script.h"
#include "text/c_locale.h"
#include "text/whole_file.h"

namespace dvbk {
namespace {

// Mute ranges and combined ones share the mute track, cover ranges and combined ones the cover
// track; the loader wants each track in time order.
bool shares_track(RangeKind a, RangeKind b) {
    bool a_mutes = a != RangeKind::Cover, a_covers = a != RangeKind::Mute;
    bool b_mutes = b != RangeKind::Cover, b_covers = b != RangeKind::Mute;
    return (a_mutes && b_mutes) || (a_covers && b_covers);
}

}  // namespace

ScriptLines split_script(std::string_view text) {
    ScriptLines script;
    if (text.starts_with(UTF8_BOM)) {
        script.bom = UTF8_BOM;
        text.remove_prefix(UTF8_BOM.size());
    }
    size_t crlf = 0, lf = 0;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        std::string_view line = text.substr(start, end == std::string_view::npos ? end : end - start);
        std::string_view line_end;
        if (end != std::string_view::npos) {
            bool cr = !line.empty() && line.back() == '\r';
            line.remove_suffix(cr ? 1 : 0);
            line_end = cr ? "\r\n" : "\n";
            ++(cr ? crlf : lf);
        }
        script.lines.push_back(read_script_line(line));
        script.lines.back().line_end = line_end;
        start = end == std::string_view::npos ? text.size() : end + 1;
    }
    script.line_end = lf > crlf ? "\n" : "\r\n";
    return script;
}

std::string join_script(const ScriptLines& script, bool last_is_new) {
    std::string text = script.bom;
    for (size_t i = 0; i < script.lines.size(); ++i) {
        const ScriptLine& line = script.lines[i];
        text += line.text;
        if (!line.line_end.empty())
            text += line.line_end;
        else if (i + 1 < script.lines.size() || last_is_new)
            text += script.line_end;
    }
    return text;
}

namespace {

bool loads(const std::string& text, std::string& error) {
    FilterScript check;
    if (load_filter_script_text(text, "the script", check))
        return true;
    error = check.load_error;
    return false;
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

// A range line as written here, read back; in place of a line, with that line's end.
ScriptLine written_line(const RecordedRange& range, std::string line_end = {}) {
    ScriptLine line = read_script_line(range_line(range.kind, range.start, range.end));
    line.line_end = std::move(line_end);
    return line;
}

bool overlaps(const ScriptLine& line, const RecordedRange& range) {
    return line.start < range.end && line.end > range.start;
}

// The parts of `range` before `start` and after `end`: none, one or two.
std::vector<RecordedRange> outside(const RecordedRange& range, double start, double end) {
    std::vector<RecordedRange> parts;
    if (range.start < start)
        parts.push_back({range.kind, range.start, std::min(range.end, start)});
    if (range.end > end)
        parts.push_back({range.kind, std::max(range.start, end), range.end});
    return parts;
}

// Writes `range` into `lines`: ranges of its kind that overlap or touch it become one with it, on
// the line of the first; with none, it goes on a new line where it belongs.
void write_range(std::vector<ScriptLine>& lines, const RecordedRange& range) {
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
    if (joined.empty()) {
        size_t at = insertion_point(lines, range.kind, range.start);
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), written_line(range));
        // A combined range shares both tracks, and a file may list one track's ranges before the
        // other's: those above it on either track that start later go below it, in their order.
        for (size_t i = at; i-- > 0;) {
            if (lines[i].kind && shares_track(*lines[i].kind, range.kind) && lines[i].start > range.start) {
                std::rotate(lines.begin() + static_cast<std::ptrdiff_t>(i),
                            lines.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                            lines.begin() + static_cast<std::ptrdiff_t>(at) + 1);
                --at;
            }
        }
        return;
    }
    std::sort(joined.begin(), joined.end());
    lines[joined.front()] = written_line(merged, lines[joined.front()].line_end);
    for (size_t k = joined.size(); k-- > 1;)
        lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(joined[k]));
}

}  // namespace

ScriptLine read_script_line(std::string_view text) {
    ScriptLine line;
    line.text = std::string(text);
    ScriptLineRead read = read_script_line_as_loaded(text);
    if (!read.error) {
        line.kind = read.kind;
        line.start = read.start;
        line.end = read.end;
        line.film_end = read.film_end;
    }
    return line;
}

ScriptEdit add_range(std::string_view text, const RecordedRange& range) {
    ScriptEdit edit;
    if (!(range.start >= 0.0) || !(range.end > range.start)) {
        edit.reason = "it would end before it starts";
        return edit;
    }
    ScriptLines script = split_script(text);
    std::vector<ScriptLine>& lines = script.lines;
    // A text without a line end after its last line keeps it so while that line stays the last.
    std::string last_line = lines.empty() ? std::string() : lines.back().text;
    if (range.kind == RangeKind::Combined) {
        // A combined range takes in the mute and cover ranges it overlaps: what is left of each is
        // the part outside it, so the film is silenced and hidden exactly where it was, and more.
        // The part before it stays on its line; the part after goes in after it, where it belongs.
        std::vector<RecordedRange> after;
        for (size_t i = lines.size(); i-- > 0;) {
            if (!lines[i].kind || *lines[i].kind == RangeKind::Combined || !overlaps(lines[i], range))
                continue;
            std::vector<RecordedRange> parts =
                outside(RecordedRange{*lines[i].kind, lines[i].start, lines[i].end}, range.start, range.end);
            std::string line_end = std::move(lines[i].line_end);
            lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i));
            for (const RecordedRange& part : parts) {
                if (part.start < range.start)
                    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(i), written_line(part, line_end));
                else
                    after.push_back(part);
            }
        }
        write_range(lines, range);
        for (const RecordedRange& part : after)
            write_range(lines, part);
        edit.written.push_back(range_line(range.kind, range.start, range.end));
    } else {
        // A mute or cover range goes in only where no combined range already silences or hides.
        std::vector<RecordedRange> pieces{range};
        for (const ScriptLine& line : lines) {
            if (line.kind != RangeKind::Combined)
                continue;
            std::vector<RecordedRange> cut;
            for (const RecordedRange& piece : pieces) {
                std::vector<RecordedRange> left =
                    overlaps(line, piece) ? outside(piece, line.start, line.end) : std::vector<RecordedRange>{piece};
                cut.insert(cut.end(), left.begin(), left.end());
            }
            pieces = std::move(cut);
        }
        for (const RecordedRange& piece : pieces) {
            write_range(lines, piece);
            edit.written.push_back(range_line(piece.kind, piece.start, piece.end));
        }
    }

    edit.text = join_script(script, !lines.empty() && lines.back().text != last_line);

    if (!loads(edit.text, edit.reason)) {
        edit.text.clear();
        edit.written.clear();
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
            line.text = range_line(*line.kind, start, end) + std::string(after_range_times(line.text));
        } else if (line.film_end) {
            line.text = "End, " + exact_time_text(std::max(0.0, map.apply(line.start)));
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
           "# One range a line: Dunvel (mute), Blenk (cover) or DunvelBlenk (combined), then its start and\r\n"
           "# end, as H:MM:SS.mmm, M:SS or seconds. \"End, time\" gives the film's length.\r\n";
}

}  // namespace dvbk
