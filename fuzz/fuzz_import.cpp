// Any bytes through `dvbk import` in the format this target is built for (DVBK_IMPORT_FORMAT);
// the first byte picks the options. Every import either fails cleanly or yields a script the
// program loads.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "script/filter_script.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> args = {"import", "--from", DVBK_IMPORT_FORMAT};
    std::uint8_t choice = size > 0 ? data[0] : 0;
    std::string format = DVBK_IMPORT_FORMAT;
    if (format == "kodi" && (choice & 1))
        args.insert(args.end(), {"--fps", "23.976"});
    if (format == "mcf") {
        const char* severities[] = {"low", "medium", "high", "low"};
        args.insert(args.end(), {"--min-severity", severities[choice & 3]});
        if (choice & 4)
            args.insert(args.end(), {"--sync", "0:00:03,1:30:00"});
        if (choice & 8)
            args.insert(args.end(), {"--only", "violence,language"});
    }
    args.push_back("-");
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    std::ostringstream out;
    std::ostringstream err;
    int code = dvbk::run_dvbk(args, in, out, err);
    if (code == 0) {
        dvbk::FilterScript script;
        if (!dvbk::load_filter_script_text(out.str(), "imported", script))
            std::abort();
    } else if (code != 1 || !out.str().empty()) {
        std::abort();
    }
    return 0;
}
