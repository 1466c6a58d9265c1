// The sync memory: the map Sync Here made for each script and each copy of its film, kept in a
// small text file beside the settings so that the same copy plays in sync again the next time. One
// pair a line, newest first: the script's path, a tab, and the copy as a copy line writes it
// (film_description.h), known by its hash or its page:
//
//   # DunvelBlenk sync memory: script, then copy and map; newest first
//   C:\Films\Heat.dvbk<TAB>hash=8e245d9679d31e12 offset=+2.3 rate=0.96
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "script/film_description.h"

namespace dvbk {

// The most pairs kept: the oldest go first.
inline constexpr std::size_t MAX_COPY_MAPS = 1000;

struct CopyMap {
    std::string script;  // the script's path, as the program opened it; compared as written
    CopyLine copy;
};

// The pairs in `text`, newest first: every line that does not read (a comment, a line without a
// tab, a copy read_copy refuses) is skipped, as is a later line for a
// pair already read; reading stops at MAX_COPY_MAPS pairs.
std::vector<CopyMap> read_copy_maps(std::string_view text);

// The file's text: the comment line, then the first MAX_COPY_MAPS pairs, each line ended by
// `line_end`. A pair that would not read back is left out: a script path that is empty, starts with
// "#" or holds a tab, CR or LF (no full Windows path does), or a copy that read_copy refuses.
std::string copy_maps_text(const std::vector<CopyMap>& maps, std::string_view line_end = "\n");

// Puts `pair` first, in place of the one for the same script and copy source, and drops the oldest beyond
// MAX_COPY_MAPS.
void remember_copy_map(std::vector<CopyMap>& maps, const CopyMap& pair);

// The pair for `script` and the copy `source`; nullptr when there is none.
const CopyMap* find_copy_map(const std::vector<CopyMap>& maps, std::string_view script, const MatchRule& source);

}  // namespace dvbk
