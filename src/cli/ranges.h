// The ranges behind a filter script's events, in the forms the command-line tool needs: a summary,
// the event list, whole-millisecond spans for EDL files, and script text for imported ranges.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "script/filter_script.h"

namespace dvbk {

// Film times in whole milliseconds: the precision an EDL line holds, and integers that compare and
// merge exactly where doubles from different sources would differ in the last bit.
struct Span {
    std::int64_t start;
    std::int64_t end;
};

// The latest time a script line can hold: the loader reads at most 2^31 - 1 whole seconds.
constexpr std::int64_t MAX_FILM_MS = 2147483647000;

// A range's start rounds down and its end up, so that rounding never lets a moment through; both
// are held to 0 ... MAX_FILM_MS.
std::int64_t start_ms(double seconds);
std::int64_t end_ms(double seconds);

// Sorts the spans and joins those that overlap, or that merely touch too when `join_touching`.
void merge_spans(std::vector<Span>& spans, bool join_touching);

// "mute range 0:00:10-0:00:14.5", for messages.
std::string range_text(const char* what, std::int64_t start, std::int64_t end);

// Why a range read from a file cannot go into a script ("empty range"), or nullptr when it can.
const char* range_fault(double start, double end);

// A script's range as an export writes it, in whole milliseconds; false, with a warning, for one
// that is empty there or starts later than a script can hold.
bool exportable_span(double start, double end, Span& span, std::vector<std::string>& warnings);

struct ScriptRange {
    double start;
    double end;
    RangeKind kind;
};

// The script's ranges by start time; a combined command is one range of kind Combined.
std::vector<ScriptRange> script_ranges(const FilterScript& script);

// "OK: 7 events, 2 mute ranges, ..." for a loaded script, without a line end.
std::string check_summary(const FilterScript& script);

// "<seconds>\t<Kind>" per event and "End\t<seconds>", each line ending in LF.
std::string event_lines(const FilterScript& script);

// A range read from another tool's file.
struct SourceRange {
    double start;
    double end;
    bool mute;
    bool cover;
    // What the file said of the range's content, in its own words ("nude 1 (male, from behind)"),
    // and how severe that is, 1 to 3; empty and 0 where it said nothing.
    std::string note = {};
    int severity = 0;
};

struct ImportedRanges {
    std::vector<SourceRange> ranges;
    bool has_film_end = false;
    double film_end = 0.0;
    // Cues the user's choice left out: of other categories, and not severe enough.
    std::size_t left_out_category = 0;
    std::size_t left_out_severity = 0;
};

// The ranges as filter script text: overlapping ranges of one kind joined so that the loader's
// ordering rules hold, a mute and a cover over the same span written as one combined command, and
// an End line when the film's end is known. `comment` becomes the first line, after "# ". A range's
// note follows its end time as a fourth field, which the loader does not read; of ranges joined
// into one, the most severe note stays (of equals, the first in the file).
std::string script_text(const ImportedRanges& imported, std::string_view comment);

// A range line of a script as written, with the note after its times (blanks at either end left
// out); in time order.
struct NotedRange {
    Span span;
    RangeKind kind;
    std::string note;
};

// The range lines of a script the loader accepts, each as exportable_span has it, for the exports
// that keep notes.
std::vector<NotedRange> noted_ranges(std::string_view text, std::vector<std::string>& warnings);

}  // namespace dvbk
