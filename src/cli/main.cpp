// dvbk: the command-line companion for filter script authors.
#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "cli/commands.h"

namespace {

// The folder dvbk was started from, with the separator at its end, for the files that ship beside
// it; empty when it is not known, which means the current folder. Windows gives argv[0] as it was
// typed ("dvbk" when found through PATH), so there the program's own path is asked for.
std::string program_folder(const char* argv0) {
    std::string path = argv0 ? argv0 : "";
    const char* separators = "/";
#ifdef _WIN32
    if (_pgmptr && *_pgmptr)
        path = _pgmptr;
    separators = "/\\";
#endif
    size_t separator = path.find_last_of(separators);
    return separator == std::string::npos ? "" : path.substr(0, separator + 1);
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    // EDL and script text goes out with LF line ends as on every other system, and input bytes
    // come in as they are; the readers handle CR LF themselves.
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    std::vector<std::string> args(argv + std::min(argc, 1), argv + argc);
    return dvbk::run_dvbk(args, std::cin, std::cout, std::cerr, program_folder(argc > 0 ? argv[0] : nullptr));
}
