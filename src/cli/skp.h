// Skip files (.skp), shared between viewers: a block with the time and description of a screenshot
// near the film's start, then a block per range, "0:14:08.27 --> 0:14:14" and a label line such as
// "nude image 1 (male, from behind)": a category, a rating 1-3, how the range is handled ("image"
// the picture goes, "word" the sound goes, neither both) and a description, in any order.
#pragma once

#include <istream>
#include <string>
#include <vector>

#include "cli/ranges.h"

namespace dvbk {

struct SkpOptions {
    std::vector<std::string> categories;  // categories to keep, by their first three letters; empty keeps every one
    int max_rating = 0;  // the most severe content the viewer accepts: ranges rated up to it are left out
};

// The blocks of the chosen categories and ratings become ranges, each with its label as its note
// ("nude 1 (male, from behind)"); a broken block is skipped with a warning naming its line, and a
// block left out by the options is counted. False, with `error` set, for a file that starts with
// neither a screenshot time nor a range.
bool read_skp(std::istream& in, const std::string& name, const SkpOptions& options, ImportedRanges& imported,
              std::vector<std::string>& warnings, std::string& error);

// A script's ranges as a skip file: the screenshot block at the first range's start, saying that no
// screenshot was taken, then a block per label of each range's note, handled as its kind says
// (mute "word", cover "image", combined neither). A range without a label is "other", rated 3, and a
// note that is no label is its description.
std::string skp_text(const std::vector<NotedRange>& ranges);

}  // namespace dvbk
