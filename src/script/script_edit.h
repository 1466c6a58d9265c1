// Writing a recorded range into a script's text the way a careful hand would: in time order
// among the lines it shares a track with, merged with an overlapping range of its kind, every
// other line (comments and blank lines included) left where and as it was.
#pragma once

#include <string>
#include <string_view>

namespace dvbk {

enum class MarkKind { Mute, Cover, Both };

struct RecordedRange {
    MarkKind kind;
    double start;  // seconds
    double end;
};

struct ScriptEdit {
    bool ok = false;
    std::string text;    // the new text, when ok
    std::string reason;  // why not, otherwise
};

// "Dunvel", "Blenk" or "DunvelBlenk".
const char* mark_command(MarkKind kind);

// The script line of `range`, without a line end: "Dunvel, 0:41:12.5, 0:41:20".
std::string range_line(const RecordedRange& range);

// `text` with `range` written in. The result always loads; when it would not (the range overlaps
// one of another kind on the same track, or `text` did not load before) the text is left alone and
// `reason` says why. Line ends follow the text's first one (CR LF for a text that has none yet).
ScriptEdit add_range(std::string_view text, const RecordedRange& range);

// What a new script file holds before its first range: a few comment lines.
std::string new_script_text();

}  // namespace dvbk
