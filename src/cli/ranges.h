// The ranges behind a filter script's events, in the forms the command-line tool needs: a summary,
// the event list, whole-millisecond spans for EDL files, and script text for imported ranges.
#pragma once

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
};

struct ImportedRanges {
    std::vector<SourceRange> ranges;
    bool has_film_end = false;
    double film_end = 0.0;
};

// The ranges as filter script text: overlapping ranges of one kind joined so that the loader's
// ordering rules hold, a mute and a cover over the same span written as one combined command, and
// an End line when the film's end is known. `comment` becomes the first line, after "# ".
std::string script_text(const ImportedRanges& imported, std::string_view comment);

}  // namespace dvbk
