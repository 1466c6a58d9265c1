// Mute ranges from a film's subtitles: the cues of a SubRip or WebVTT file, searched for the words
// of a list, each word's moment estimated from where it stands in its cue.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace dvbk {

// The word list that ships beside the program, for the user to edit.
constexpr const char* WORD_LIST_FILE = "words.txt";

// One entry of a word list: one word or a phrase of several, folded to lower case, each word
// perhaps with a `*` wildcard at its start or end ("damn*" also finds "damned").
struct WordEntry {
    struct Word {
        std::string text;
        bool any_before = false;  // "*word"
        bool any_after = false;   // "word*"
    };
    std::vector<Word> words;
    std::string line;  // as written, for messages
};

struct WordList {
    std::vector<WordEntry> entries;
};

// One entry a line, `#` comments and blank lines skipped, UTF-8 (a BOM is not part of the first
// line; a line that is not UTF-8 is read as Windows-1252, with a warning). Words are split as in a
// cue: at blanks, hyphens and other signs, an apostrophe between letters belonging to its word. A
// line that gives no word (a lone `*`, a wildcard inside a word) is skipped with a warning. False,
// with `error` set, when no entry is left.
bool read_word_list(std::string_view text, const std::string& name, WordList& list, std::vector<std::string>& warnings,
                    std::string& error);

struct SubtitleOptions {
    // Seconds muted before a word's estimated start and after its estimated end: enough to cover
    // speech that starts up to 0.3 s into its cue, ends up to 0.3 s before it ends and changes pace
    // by a quarter from word to word.
    double pad_before = 0.5;
    double pad_after = 0.5;
    bool whole_cue = false;  // mute each matching cue from its start to its end instead
};

// What was made, for the summary the tool and the program show.
struct SubtitleScript {
    std::string text;              // a filter script of mute ranges that loads; empty when no cue matched
    std::size_t cues = 0;          // cues read
    std::size_t cues_matched = 0;  // cues with at least one word of the list
    std::size_t words_matched = 0;
    std::size_t ranges = 0;  // mute ranges written, after merging
    double muted = 0.0;      // seconds muted in all
};

// Reads `subtitles` (SubRip or WebVTT, told apart by the text, not the name) and makes the script.
// A word's time is its share of the cue's time by its letters; a word of the list also finds the
// cue's word with "'s" after it. A range line names its words, lower-cased, in a fourth field. A
// broken cue is skipped with a warning that names its line. False, with `error` set, only when the
// text holds no cue at all.
bool subtitle_script(std::string_view subtitles, const std::string& name, const WordList& words,
                     const SubtitleOptions& options, SubtitleScript& made, std::vector<std::string>& warnings,
                     std::string& error);

// "1523 cues, 14 matched (17 words): 13 mute ranges, 0:00:11.2 muted", without a line end.
std::string subtitle_summary(const SubtitleScript& made);

}  // namespace dvbk
