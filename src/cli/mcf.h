// Movie Content Filter files (.mcf): WebVTT cues that each name a time range, and what is in it by
// category, severity and channel.
#pragma once

#include <istream>
#include <string>
#include <vector>

#include "cli/ranges.h"

namespace dvbk {

enum class Severity { Low = 0, Medium = 1, High = 2 };

struct McfOptions {
    Severity min_severity = Severity::Low;
    std::vector<std::string> only;  // categories to keep; empty keeps every one
    // The user's own copy's first and last frame times, to stretch the file's START..END onto.
    bool sync = false;
    double sync_start = 0.0;
    double sync_end = 0.0;
};

bool read_severity(std::string_view text, Severity& severity);

// Cue lines of the chosen categories and severities become ranges: the audio channel a mute, the
// video channel a cover, both channels both. The file's END becomes the film's end. False, with
// `error` set, for a file that is no Movie Content Filter file or whose START and END are unusable.
bool read_mcf(std::istream& in, const std::string& name, const McfOptions& options, ImportedRanges& imported,
              std::vector<std::string>& warnings, std::string& error);

}  // namespace dvbk
