// Edit decision lists, the skip-and-mute files Kodi and MPlayer read beside a video.
#pragma once

#include <istream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/ranges.h"
#include "script/filter_script.h"

namespace dvbk {

enum class EdlDialect { Kodi, MPlayer };

struct EdlOptions {
    EdlDialect dialect = EdlDialect::Kodi;
    double fps = 0.0;  // frames per second for Kodi's "#N" frame numbers; 0 when not given
};

// Reads the lines both players would act on and warns about the rest. False, with `error` set,
// only where no faithful reading exists: frame numbers without a frame rate.
bool read_edl(std::istream& in, const std::string& name, const EdlOptions& options, ImportedRanges& imported,
              std::vector<std::string>& warnings, std::string& error);

// What becomes of a cover range, which an EDL cannot express: a skip, or nothing.
enum class CoverMode { Skip, Drop };

// The script's ranges as EDL lines, "START END ACTION" with 0 for a skip and 1 for a mute. Both
// players take the same lines: sorted, with no two ranges overlapping or touching.
std::string edl_text(const FilterScript& script, CoverMode cover_mode, std::vector<std::string>& warnings);

}  // namespace dvbk
