// Movie Content Filter files (.mcf): WebVTT cues that each name a time range, and what is in it by
// category, severity and channel.
#pragma once

#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/ranges.h"

namespace dvbk {

enum class Severity { Low = 0, Medium = 1, High = 2 };

struct McfOptions {
    Severity min_severity = Severity::Low;
    // The most severe content the viewer accepts: cues up to it are left out.
    std::optional<Severity> max_severity;
    std::vector<std::string> only;  // categories to keep, in any letter case; empty keeps every one
    // The user's own copy's first and last frame times, to stretch the file's START..END onto.
    bool sync = false;
    double sync_start = 0.0;
    double sync_end = 0.0;
};

bool read_severity(std::string_view text, Severity& severity);

// Cue lines of the chosen categories and severities become ranges: the audio channel a mute, the
// video channel a cover, both channels both; each range's note is what its lines say ("language
// high (comment)", several joined by commas). The file's END becomes the film's end. Cues left out
// by the options are counted. False, with `error` set, for a file that is no Movie Content Filter
// file or whose START and END are unusable.
bool read_mcf(std::istream& in, const std::string& name, const McfOptions& options, ImportedRanges& imported,
              std::vector<std::string>& warnings, std::string& error);

// A script's ranges as a Movie Content Filter file that runs from 0:00:00 to `film_end` (or, when
// that is 0, the last range's end): a cue per range, on the channel its kind names, with a line
// per label of its note; a range without one is "dispensable=high", and a note that is no label is
// the line's comment.
std::string mcf_text(const std::vector<NotedRange>& ranges, double film_end);

}  // namespace dvbk
