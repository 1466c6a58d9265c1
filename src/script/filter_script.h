// The filter script: a hand-written list of time ranges in which the sound is silenced ("Dunvel"),
// the picture covered ("Blenk") or both, turned into a time-ordered list of events.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dvbk {

enum class EventKind : std::int32_t {
    CoverStart = 0,
    CoverEnd = 1,
    MuteStart = 2,
    MuteEnd = 3,
    BothStart = 4,
};

// The kind of a script's range line: "Dunvel", "Blenk", or combined ("DunvelBlenk", "BlenkDunvel").
enum class RangeKind { Mute, Cover, Combined };

// "Dunvel", "Blenk" or "DunvelBlenk": how the program writes a range of `kind`.
const char* range_command(RangeKind kind);

// The one way a range line is written, without a line end: "Dunvel, 0:41:12.5, 0:41:20", each time
// as exact_time_text writes it.
std::string range_line(RangeKind kind, double start, double end);

// The kind a line's command names, in any letter case; nothing for any other command.
std::optional<RangeKind> range_kind(std::string_view command);

// A range line's text from the comma after its end time on (", nude 1 (male)"): a note the loader
// does not read, which tools that rewrite the line keep. Empty when the line has no third comma.
std::string_view after_range_times(std::string_view line);

struct FilterEvent {
    EventKind kind;
    double time;  // seconds from the start of the film
};

// What one load leaves behind; the application keeps it in its state record.
struct FilterScript {
    std::vector<FilterEvent> events;
    double film_end = 0.0;
    std::string load_error;
};

// One line as the loader reads it, its blanks removed first: a range's kind and times, the film's
// end (its time in `start`), or neither (a comment, an empty line); or the loader's message for a
// line it refuses, which the order of the lines cannot change.
struct ScriptLineRead {
    const char* error = nullptr;
    std::optional<RangeKind> kind;
    double start = 0.0;
    double end = 0.0;
    bool film_end = false;
};
ScriptLineRead read_script_line_as_loaded(std::string_view line);

// Sets `load_error` to the per-line text that names the file and the line.
void report_script_error(FilterScript& script, std::string_view message, std::string_view file_name,
                         std::int64_t line_number);

// Reads the script at `file_name` through read_whole_file. True when every line was valid and at
// least one event came out; the events are then sorted by time, equal times keeping their order in
// the file. On false, `load_error` says why and `events` holds what the lines before the bad one
// produced: the caller must empty it. The caller empties `load_error` and sets `film_end` to 0
// before the call.
bool load_filter_script(const std::string& file_name, FilterScript& script);

// The same from the file's text; `file_name` is used only in messages. A UTF-8 byte-order mark
// before the first line is not part of it.
bool load_filter_script_text(std::string_view text, const std::string& file_name, FilterScript& script);

}  // namespace dvbk
