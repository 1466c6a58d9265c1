// dvbk's commands that find a film's script and describe it: `match`, `describe`, and the copy line
// `retime --copy` writes in place of retiming.
#pragma once

#include <istream>
#include <map>
#include <ostream>
#include <string>

#include "script/time_map.h"

namespace dvbk {

// A command's options by name, a repeatable one (--match) once for each time it was given.
using CommandOptions = std::multimap<std::string, std::string>;

// `dvbk match` and `dvbk describe` (`command`) on `file`, with their options; like run_dvbk, it
// returns the exit code, and prints results to `out` only when the command succeeds.
int run_match_command(const std::string& command, const std::string& file, const CommandOptions& options,
                      std::istream& in, std::ostream& out, std::ostream& err);

// `dvbk retime --copy SOURCE`: the script `file` names with a copy line for SOURCE ("hash=HEX" or
// "page=ADDRESS") and `map`, in place of the one for SOURCE or as a new line.
int run_retime_copy(const std::string& file, const std::string& source, const TimeMap& map, std::istream& in,
                    std::ostream& out, std::ostream& err);

}  // namespace dvbk
