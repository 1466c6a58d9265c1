// Writing a recorded range into a script's text the way a careful hand would: in time order
// among the lines it shares a track with, merged with an overlapping range of its kind, every
// other line (comments and blank lines included) left where and as it was.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "script/filter_script.h"
#include "script/time_map.h"

namespace dvbk {

struct RecordedRange {
    RangeKind kind;
    double start;  // seconds
    double end;
};

// One line of a script as written, read far enough to place and move ranges: a range line's kind
// and times, or whether it is the film's end line. Anything else (comments, blank lines, lines the
// loader would refuse) has neither.
struct ScriptLine {
    std::string text;      // without its line end
    std::string line_end;  // its own: "\r\n" or "\n"; none after a last line without one, or a new line
    std::optional<RangeKind> kind;
    double start = 0.0;
    double end = 0.0;
    bool film_end = false;
};

ScriptLine read_script_line(std::string_view text);

// A script's text as its lines, for edits that keep everything they do not change.
struct ScriptLines {
    std::string bom;  // a UTF-8 byte-order mark before the first line, kept there
    std::vector<ScriptLine> lines;
    // The end a new line takes: the one most lines have, so one line an editor on another system
    // added does not decide; on a tie, or with no line end yet, CR LF as Windows' own editors write.
    std::string line_end;
};

ScriptLines split_script(std::string_view text);

// The lines again, each with its own line end or, having none, the text's; the last line goes
// without one if it had none before, unless `last_is_new`.
std::string join_script(const ScriptLines& script, bool last_is_new);

struct ScriptEdit {
    bool ok = false;
    std::string text;                  // the new text, when ok
    std::vector<std::string> written;  // the range lines written into it, when ok
    std::string reason;                // why not, otherwise
};

// `text` with `range` written in. A mute or cover range goes in only where no combined range
// already silences or hides, in as many pieces as that leaves (none, inside one); a combined range
// takes in the mute and cover ranges it overlaps, which keep only their parts outside it. The
// result always loads; when it would not (`text` did not load before, or a mute or cover range
// would cross a combined range of no length) the text is left alone and `reason` says why. A UTF-8
// byte-order mark stays before the first line, and every line keeps its own line end; a new line
// takes the end most of the text's lines have (CR LF on a tie, or for a text that has none yet).
ScriptEdit add_range(std::string_view text, const RecordedRange& range);

// `text` with every range's times and the end line's time mapped into the copy; a range that falls
// wholly before 0:00:00 there is left out and one that starts before it starts at it, each with a
// warning naming the line. Comments, blank lines, line ends and a range's note after its times stay.
// Refused (with the loader's reason) when the result would not load. A byte-order mark stays.
ScriptEdit retime_script(std::string_view text, const TimeMap& map, std::vector<std::string>& warnings);

// What a new script file holds before its first range: a few comment lines.
std::string new_script_text();

}  // namespace dvbk
