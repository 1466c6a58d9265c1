// Any bytes as subtitles, searched for a fixed list of words, and as a word list, searched for in
// fixed subtitles; the first byte's lowest bit asks for whole cues. Every script made loads, with
// the ranges the summary counts.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "cli/subtitles.h"
#include "script/filter_script.h"

namespace {

constexpr std::string_view FIXED_LIST = "damn*\n*shit\nhell\nson of a bitch\ndon't\n*θεέ*\nблядь\n";
constexpr std::string_view FIXED_SUBTITLES =
    "1\n00:00:01,000 --> 00:00:03,500\n<i>Damn it,</i> son of a bitch!\n\n"
    "2\n00:00:03,000 --> 00:00:05,000\nDon't say hell, ΘΕΈ, Блядь, bullshit a damn.\n\n"
    "3\n99:59:59,999 --> 100:00:00,000\nHell\n";

void check(std::string_view subtitles, const dvbk::WordList& list, const dvbk::SubtitleOptions& options) {
    dvbk::SubtitleScript made;
    std::vector<std::string> warnings;
    std::string error;
    if (!dvbk::subtitle_script(subtitles, "fuzzed", list, options, made, warnings, error)) {
        if (!made.text.empty() || error.empty())
            std::abort();
        return;
    }
    if (made.cues_matched > made.cues || made.words_matched < made.cues_matched || made.ranges > made.words_matched)
        std::abort();
    if (made.text.empty() != (made.ranges == 0))
        std::abort();
    dvbk::FilterScript script;
    if (!made.text.empty() &&
        (!dvbk::load_filter_script_text(made.text, "made", script) || script.events.size() != 2 * made.ranges))
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    dvbk::SubtitleOptions options;
    options.whole_cue = size > 0 && (data[0] & 1) != 0;
    std::vector<std::string> warnings;
    std::string error;
    dvbk::WordList fixed;
    if (!dvbk::read_word_list(FIXED_LIST, "fixed", fixed, warnings, error))
        std::abort();
    check(input, fixed, options);
    dvbk::WordList list;
    if (dvbk::read_word_list(input, "fuzzed", list, warnings, error))
        check(FIXED_SUBTITLES, list, options);
    return 0;
}
