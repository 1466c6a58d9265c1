// Any bytes as a script's text: its description reads without fault and holds only what its lines
// may say; writing a description into it changes comment lines alone (the text loads exactly when
// it did), keeps every match already there, and reads back with what was written; matching the
// description against a video named by the text's own lines never fails.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "script/film_description.h"
#include "script/film_match.h"
#include "script/filter_script.h"

namespace {

bool loads(std::string_view text) {
    dvbk::FilterScript script;
    return dvbk::load_filter_script_text(text, "fuzz.dvbk", script);
}

bool holds(const dvbk::FilmDescription& description, const dvbk::MatchRule& rule) {
    return std::find(description.matches.begin(), description.matches.end(), rule) != description.matches.end();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> warnings;
    dvbk::FilmDescription read = dvbk::read_film_description(text, warnings);
    if (read.film != dvbk::fold_blanks(read.film) || !std::isfinite(read.duration) || read.duration < 0.0)
        std::abort();
    for (const dvbk::CopyLine& copy : read.copies) {
        if (copy.map.rate < dvbk::MIN_RATE || copy.map.rate > dvbk::MAX_RATE || !std::isfinite(copy.map.offset))
            std::abort();
    }

    dvbk::FilmDescription added{"Heat (1995)",
                                6723.5,
                                {{dvbk::MatchKind::Hash, "8e245d9679d31e12"}, {dvbk::MatchKind::Title, "Heat"}},
                                {{{dvbk::MatchKind::Page, "*netflix.com/watch/6002*"}, {0.96, -1.5}}}};
    dvbk::ScriptEdit edit = dvbk::describe_script(text, added);
    if (!edit.ok || loads(edit.text) != loads(text))
        std::abort();
    std::vector<std::string> after_warnings;
    dvbk::FilmDescription after = dvbk::read_film_description(edit.text, after_warnings);
    for (const dvbk::MatchRule& rule : read.matches) {
        if (!holds(after, rule))
            std::abort();
    }
    if (after.film != added.film || after.duration != added.duration || !holds(after, added.matches[0]) ||
        !holds(after, added.matches[1]) || !dvbk::copy_for(after, {"", "", "https://netflix.com/watch/6002", "", 0}))
        std::abort();

    dvbk::VideoSource source{"Heat.mkv", "8E245D9679D31E12", std::string(text.substr(0, 200)),
                             std::string(text.substr(0, 40)), 6723};
    dvbk::match_scripts(source, {{"a", read}, {"b", after}});
    return 0;
}
