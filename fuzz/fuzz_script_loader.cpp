// Any bytes as a filter script: the loader either accepts them, with sorted events, or refuses
// them with one line of text; what the tool derives from an accepted script must not fail either.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "cli/edl.h"
#include "cli/ranges.h"
#include "script/filter_script.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    dvbk::FilterScript script;
    if (!dvbk::load_filter_script_text(text, "fuzz.dvbk", script)) {
        if (script.load_error.empty() || script.load_error.find('\0') != std::string::npos ||
            script.load_error.size() > 512)
            std::abort();
        return 0;
    }
    if (script.events.empty() || !script.load_error.empty())
        std::abort();
    for (std::size_t i = 1; i < script.events.size(); ++i) {
        if (script.events[i].time < script.events[i - 1].time)
            std::abort();
    }
    dvbk::check_summary(script);
    dvbk::event_lines(script);
    std::vector<std::string> warnings;
    dvbk::edl_text(script, dvbk::CoverMode::Skip, warnings);
    return 0;
}
