// Any bytes through `dvbk import` in the format this target is built for (DVBK_IMPORT_FORMAT);
// the first byte picks the options. Every import either fails cleanly or yields a script the
// program loads; a script imported from a skip file or an MCF file also exports to that format and
// reads back to the same muted and covered times.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/ranges.h"
#include "script/filter_script.h"

namespace {

struct Run {
    int code;
    std::string out;
};

Run run(const std::vector<std::string>& args, const std::string& input) {
    std::istringstream in(input);
    std::ostringstream out;
    std::ostringstream err;
    int code = dvbk::run_dvbk(args, in, out, err);
    return {code, out.str()};
}

// The script's muted or covered times, joined where they touch.
std::vector<dvbk::Span> track(const dvbk::FilterScript& script, dvbk::RangeKind other) {
    std::vector<dvbk::Span> spans;
    for (const dvbk::ScriptRange& range : dvbk::script_ranges(script)) {
        if (range.kind != other)
            spans.push_back({dvbk::start_ms(range.start), dvbk::end_ms(range.end)});
    }
    dvbk::merge_spans(spans, true);
    return spans;
}

bool same_tracks(const dvbk::FilterScript& a, const dvbk::FilterScript& b) {
    for (dvbk::RangeKind other : {dvbk::RangeKind::Cover, dvbk::RangeKind::Mute}) {
        std::vector<dvbk::Span> x = track(a, other);
        std::vector<dvbk::Span> y = track(b, other);
        if (x.size() != y.size())
            return false;
        for (size_t i = 0; i < x.size(); ++i) {
            if (x[i].start != y[i].start || x[i].end != y[i].end)
                return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> args = {"import", "--from", DVBK_IMPORT_FORMAT};
    std::uint8_t choice = size > 0 ? data[0] : 0;
    std::string format = DVBK_IMPORT_FORMAT;
    if (format == "kodi" && (choice & 1))
        args.insert(args.end(), {"--fps", "23.976"});
    if (format == "mcf") {
        const char* severities[] = {"low", "medium", "high", "low"};
        args.insert(args.end(), {choice & 16 ? "--max-severity" : "--min-severity", severities[choice & 3]});
        if (choice & 4)
            args.insert(args.end(), {"--sync", "0:00:03,1:30:00"});
        if (choice & 8)
            args.insert(args.end(), {choice & 32 ? "--categories" : "--only", "violence,language"});
    }
    if (format == "skp") {
        const char* ratings[] = {"0", "1", "2", "3"};
        if (choice & 4)
            args.insert(args.end(), {"--max-severity", ratings[choice & 3]});
        if (choice & 8)
            args.insert(args.end(), {"--categories", "vio,Profanity"});
    }
    args.push_back("-");
    Run imported = run(args, std::string(reinterpret_cast<const char*>(data), size));
    if (imported.code != 0) {
        if (imported.code != 1 || !imported.out.empty())
            std::abort();
        return 0;
    }
    dvbk::FilterScript script;
    if (!dvbk::load_filter_script_text(imported.out, "imported", script))
        std::abort();
    if (format == "skp" || format == "mcf") {
        Run exported = run({"export", "--to", format, "-"}, imported.out);
        Run back = run({"import", "--from", format, "-"}, exported.out);
        dvbk::FilterScript again;
        if (exported.code != 0 || back.code != 0 || !dvbk::load_filter_script_text(back.out, "again", again) ||
            !same_tracks(script, again))
            std::abort();
    }
    return 0;
}
