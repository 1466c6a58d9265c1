// dvbk: the command-line companion for filter script authors.
#include <iostream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "cli/commands.h"

int main(int argc, char** argv) {
#ifdef _WIN32
    // EDL and script text goes out with LF line ends as on every other system, and input bytes
    // come in as they are; the readers handle CR LF themselves.
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    std::vector<std::string> args(argv + 1, argv + argc);
    return dvbk::run_dvbk(args, std::cin, std::cout, std::cerr);
}
