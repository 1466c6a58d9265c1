// A recorded range written into any text: when the text loaded before, the range goes in (unless a
// combined range of no length is in its way: a mute or cover cannot be written across it), and
// the new script silences and hides exactly where the old one did plus where the range says, times
// being kept to the millisecond. The first five bytes choose the range, the rest is the text.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "clock/event_rules.h"
#include "script/filter_script.h"
#include "script/script_edit.h"

namespace {

bool load(const std::string& text, dvbk::FilterScript& script) {
    return dvbk::load_filter_script_text(text, "fuzz.dvbk", script);
}

bool has_empty_combined_range(const std::string& text) {
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        dvbk::ScriptLine read = dvbk::read_script_line(line);
        if (read.kind == dvbk::RangeKind::Combined && read.end <= read.start)
            return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 5)
        return 0;
    auto kind = static_cast<dvbk::RangeKind>(data[0] % 3);
    double start = (data[1] | data[2] << 8) / 10.0;
    double end = start + (data[3] | data[4] << 8) / 10.0;
    std::string text(reinterpret_cast<const char*>(data + 5), size - 5);
    dvbk::ScriptEdit edit = dvbk::add_range(text, dvbk::RecordedRange{kind, start, end});
    dvbk::FilterScript before, after;
    if (!load(text, before) || end <= start)
        return 0;
    if (!edit.ok) {
        if (!has_empty_combined_range(text))
            std::abort();
        return 0;
    }
    if (!load(edit.text, after))
        std::abort();

    std::vector<double> bounds{start, end};
    for (const auto* script : {&before, &after})
        for (const dvbk::FilterEvent& event : script->events)
            bounds.push_back(event.time);
    std::sort(bounds.begin(), bounds.end());
    bounds.push_back(bounds.back() + 1.0);
    for (std::size_t i = 1; i < bounds.size(); ++i) {
        // Between two bounds closer than this, a time rounded to the millisecond may lie either way.
        if (bounds[i] - bounds[i - 1] < 0.002)
            continue;
        double t = (bounds[i - 1] + bounds[i]) / 2.0;
        dvbk::InForce old_state = dvbk::in_force_at(before.events, t), new_state = dvbk::in_force_at(after.events, t);
        bool inside = start < t && t < end;
        bool mutes = inside && kind != dvbk::RangeKind::Cover;
        bool covers = inside && kind != dvbk::RangeKind::Mute;
        if (new_state.muted != (old_state.muted || mutes) || new_state.covered != (old_state.covered || covers))
            std::abort();
    }
    return 0;
}
