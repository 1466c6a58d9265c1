// Which scripts are for the video a player or a page shows, by what their descriptions say
// (film_description.h): the script that names the video's hash, file name or page before one that
// names its title, and that before one that only names its film; none whose duration does not fit.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "script/film_description.h"
#include "script/time_map.h"

namespace dvbk {

// What the program knows of the video being played; every part may be missing.
struct VideoSource {
    std::string file_name;  // the file's name without its folder; empty for a page
    std::string hash;       // video_hash.h's 16 hex digits; empty when not known
    std::string page;       // the page's address; empty for a file
    std::string title;      // as the player or the page gives it; empty when not known
    double duration = 0.0;  // seconds; 0 when not known
};

// Whether `address` fits the page address `pattern`, where `*` stands for any run of characters
// (none included) and every other character for itself: in any letter case up to the end of the
// address's host (its scheme, "://" and host), as written after that (path and query).
bool page_matches(std::string_view pattern, std::string_view address);

// A video whose duration differs from a script's by more than this share of the script's, or by
// more than DURATION_SLACK seconds when that is more, is another cut of the film or another film:
// at 2 % a copy at 25 frames a second of a film made at 24 (4 % fast) needs a copy line.
inline constexpr double DURATION_SHARE = 0.02;
inline constexpr double DURATION_SLACK = 5.0;

// Whether a video of `video_duration` seconds may be the copy a script of `script_duration` is for.
bool durations_agree(double script_duration, double video_duration);

// Whether `rule` holds for `source`: the same hash (any letter case), file name (any letter case),
// page (page_matches) or title (any letter case, runs of blanks as one).
bool rule_matches(const MatchRule& rule, const VideoSource& source);

// Whether a script's film, "Heat (1995)", names the source's title: "Heat (1995)" or "Heat", in any
// letter case and with runs of blanks as one.
bool film_matches(std::string_view film, std::string_view title);

// The copy line in `description` whose source is the video's (by hash or page); nullptr when none.
const CopyLine* copy_for(const FilmDescription& description, const VideoSource& source);

// The source as copy lines and the sync memory know a copy: by its hash when it has one, else by
// its page; nothing for a video with neither.
std::optional<MatchRule> copy_source(const VideoSource& source);

// Why a script matched, as its strongest rule says.
enum class MatchReason { Hash, FileName, Page, Title };

// "its hash", "its file name", "its page", "its title".
const char* match_reason_text(MatchReason reason);

// How strong a match is, strongest first: a hash, file name or page (in match or copy lines); a
// title line; the film's name, which counts only for a script with no match or copy line at all.
enum class MatchRank { Identity, TitleLine, FilmName };

// Whether a file of this name is one a scripts folder is searched for: "*.dvbk" or "*.txt", in any
// letter case.
bool is_script_file_name(std::string_view name);

struct DescribedScript {
    std::string path;
    FilmDescription description;
};

struct ScriptMatch {
    std::string path;
    MatchReason reason;
    MatchRank rank;
    std::optional<TimeMap> copy_map;  // from the script's copy line for this video, when it has one
};

enum class MatchOutcome { None, One, Several };

struct ScriptMatches {
    std::vector<ScriptMatch> best_first;  // by rank, then reason, then path
    std::size_t best_count = 0;           // how many share the best rank

    // No match, exactly one of the best rank, or several the user must choose from.
    MatchOutcome outcome() const {
        return best_count == 0 ? MatchOutcome::None : best_count == 1 ? MatchOutcome::One : MatchOutcome::Several;
    }
};

// The scripts that match `source`, best first. A script whose duration does not agree with the
// source's (once its copy line for the source, if any, maps it) is left out, whatever matched;
// either duration unknown (0) agrees.
ScriptMatches match_scripts(const VideoSource& source, const std::vector<DescribedScript>& scripts);

}  // namespace dvbk
