// The dvbk command line: check, inspect and convert filter scripts.
#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace dvbk {

// Exit codes scripts can tell apart.
constexpr int EXIT_OK = 0;
constexpr int EXIT_FAILED = 1;
constexpr int EXIT_USAGE = 2;

// Writes a command's result to `out`: EXIT_OK, or EXIT_FAILED with a message on `err` when it could
// not be written.
int write_output(const std::string& text, std::ostream& out, std::ostream& err);

// Runs the command `args` names (argv without the program name), reading "-" from `in`. Results go
// to `out` only when the command succeeds; messages and warnings go to `err`. `program_folder` is
// where dvbk lies, ending in a separator (empty for the current folder): the default word list is
// read from there.
int run_dvbk(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err,
             const std::string& program_folder = "");

}  // namespace dvbk
