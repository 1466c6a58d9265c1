// What a script says about the film it is for, in comment lines that every reader of scripts skips:
//
//   # film: Heat (1995)
//   # duration: 2:50:10
//   # match: file=Heat.1995.1080p.mkv
//   # match: hash=8e245d9679d31e12
//   # match: page=*netflix.com/watch/60027358*
//   # match: title=Heat
//   # copy: hash=8e245d9679d31e12 offset=+2.3 rate=0.96
//
// A comment is a description line when the word before its first colon is one of these, in any
// letter case; any other comment is an ordinary one ("## match: ..." puts a line aside). The
// duration is any time text read_time reads. A copy line keeps the map from the script's times onto
// one copy of the film (TimeMap, as Sync Here makes it); its source is a hash or a page address.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "script/script_edit.h"
#include "script/time_map.h"

namespace dvbk {

enum class MatchKind { File, Hash, Page, Title };

// One way to know the film's video: `file=NAME` a file name, matched in any letter case;
// `hash=HEX` the 16 hex digits of video_hash.h; `page=PATTERN` a page address where `*` stands for
// any run of characters (film_match.h); `title=TEXT` the title the player or the page gives, in any
// letter case and with runs of blanks as one.
struct MatchRule {
    MatchKind kind = MatchKind::File;
    std::string value;  // a hash in lower case, a title with its blanks folded, the others as written
    bool operator==(const MatchRule&) const = default;
};

// Reads "KIND=VALUE" (the kind in any letter case, blanks around either part dropped). False, with
// `error` saying why, for an unknown kind, an empty value, a hash that is not 16 hex digits, a file
// name with a folder in it, or a control byte anywhere.
bool read_match_rule(std::string_view text, MatchRule& rule, std::string& error);

// "hash=8e245d9679d31e12": a rule as match lines, copy lines and the sync memory write it.
std::string match_rule_text(const MatchRule& rule);

// `text` with its blanks trimmed and each run of them inside as one space.
std::string fold_blanks(std::string_view text);

// The map from the script's times onto one copy of the film, known by its hash or its page.
struct CopyLine {
    MatchRule source;  // a Hash or a Page rule
    TimeMap map;
};

// "hash=8e245d9679d31e12 offset=+2.3 rate=0.96": a copy as copy lines and the sync memory write
// it, the offset rounded to the millisecond and the rate to nine decimals.
std::string copy_text(const CopyLine& copy);

// Reads the source, then "offset=±S" (a time with one sign for the whole, read_offset) and
// "rate=R" (MIN_RATE to MAX_RATE) in either order, each missing one leaving the map's own. False,
// with `error` saying why, for anything else.
bool read_copy(std::string_view text, CopyLine& copy, std::string& error);

struct FilmDescription {
    std::string film;       // "Heat (1995)", its blanks folded; empty when the script names none
    double duration = 0.0;  // seconds; 0 when the script gives none
    std::vector<MatchRule> matches;
    std::vector<CopyLine> copies;
};

// The description in `text`'s comment lines. A description line that cannot be read (an unknown
// match kind, a hash that is no hash, an unreadable time or map, a second film or duration line)
// is left out with a warning "line N: WHY: LINE".
FilmDescription read_film_description(std::string_view text, std::vector<std::string>& warnings);

// `text` with `added` written into its description, every other line and line end (and a
// byte-order mark) as it was: a film or duration line takes the place of the one already there; a
// match line already there is not written again; a copy line takes the place of the one for the
// same source. New lines go after the comments that open the text, before anything else, in the
// order film, duration, matches, copies, with the line end most of the text's lines have. Only
// comment lines change, so the result loads exactly when `text` did. Refused, with `reason`, when a
// line would not read back as given: a control byte other than a blank in the film's name, a
// duration not above 0, a rule read_match_rule refuses, a copy's source that is no hash or page or
// its map out of range.
ScriptEdit describe_script(std::string_view text, const FilmDescription& added);

}  // namespace dvbk
