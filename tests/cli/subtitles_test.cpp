#include "cli/subtitles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <regex>
#include <set>

#include "cli/ranges.h"
#include "script/film_time.h"
#include "script/filter_script.h"

namespace dvbk {
namespace {

WordList word_list(const std::string& text, std::vector<std::string>& warnings) {
    WordList list;
    std::string error;
    EXPECT_TRUE(read_word_list(text, "words.txt", list, warnings, error)) << error;
    return list;
}

// The script's ranges, after it was checked to load.
std::vector<ScriptRange> made_ranges(const std::string& subtitles, const SubtitleOptions& options,
                                     const std::string& list, std::vector<std::string>& warnings, std::string& text) {
    SubtitleScript made;
    std::string error;
    EXPECT_TRUE(subtitle_script(subtitles, "film.srt", word_list(list, warnings), options, made, warnings, error));
    FilterScript script;
    EXPECT_EQ(!made.text.empty(), load_filter_script_text(made.text, "made", script)) << script.load_error;
    EXPECT_TRUE(made.text.empty() ||
                made.text.starts_with("# Mute ranges around the listed words in the subtitles film.srt\n"));
    text = made.text.substr(std::min(made.text.find('\n') + 1, made.text.size()));
    return script_ranges(script);
}

TEST(Subtitles, CuesAsPeopleHaveThem) {
    struct Case {
        bool whole_cue;
        std::string subtitles;
        std::string ranges;
        std::vector<std::string> warnings;
    };
    const std::string cue = "1\n00:00:10,000 --> 00:00:14,000\n";
    const Case cases[] = {
        {true,
         "\xEF\xBB\xBF"
         "1\r\n00:00:01,000 --> 00:00:02,500\r\n<i>What the</i>\r\n<font color=\"#ffff00\">HELL?</font>\r\n\r\n"
         "7\r\n00:00:03,000 --> 00:00:04,000\r\n{\\an8}Hello.\r\n",
         "Dunvel, 0:00:01, 0:00:02.5, hell\n",
         {}},
        // No numbers, a wrong one, no blank line, a blank line inside a cue, hours over 99, points.
        {true,
         "00:00:01.000 --> 00:00:02.000\nDamned\n5\n00:00:02.000 --> 00:00:03.000\nfine\n\nand shit\n\n"
         "100:00:00,000 --> 100:00:01,5\nDon’t.\n",
         "Dunvel, 0:00:01, 0:00:03, damned shit\nDunvel, 100:00:00, 100:00:01.5, don't\n",
         {}},
        // Overlapping cues each on their own; broken ones named and skipped.
        {true,
         "1\n00:00:10,000 --> 00:00:14,000\nhell\n\n2\n00:00:12,000 --> 00:00:16,000\nhell-bent\n\n3\n"
         "00:00:2O,000 --> 00:00:21,000\nhell\n\n4\n00:00:30,000 --> 00:00:29,000\nhell\n\n5\n"
         "00:00:40,000 --> 00:00:41,000\nhell's bells\n",
         "Dunvel, 0:00:10, 0:00:16, hell hell\nDunvel, 0:00:40, 0:00:41, hell's\n",
         {"film.srt line 10: cue skipped, bad timing line: 00:00:2O,000 --> 00:00:21,000",
          "film.srt line 14: cue skipped, its end is before its start: 00:00:30,000 --> 00:00:29,000"}},
        {true,
         "WEBVTT - a film\nKind: captions\n\nSTYLE\n::cue { color: yellow }\n\nNOTE hell is not said here\n\n"
         "REGION\nid:top\n\nintro\n01:02.000 --> 01:03.000 align:start line:0\n<v Frank>You son of a "
         "<c.loud>bitch</c>!\n\n"
         "00:01:04.000 --> 00:01:05.000\nHorse<00:01:04.500>shit &amp; &lt;b&gt;da&#173;mn&nbsp;&#72;ELL&lrm;\n",
         "Dunvel, 0:01:02, 0:01:03, son of a bitch\nDunvel, 0:01:04, 0:01:05, horseshit damn hell\n",
         {}},
        {true,
         "1\n0:00:01,000 --> 0:00:02,000\nWhat the\\Nhell\x85\\hCaf\xe9!\n",
         "Dunvel, 0:00:01, 0:00:02, hell\n",
         {"film.srt line 3: not UTF-8: read as Windows-1252"}},
        {true, cue + "Hello, shell, undamned hellfire dons\n", "", {}},
        // Words timed by their letters, 16 letters in 4 s, padded by 0.5 s and held to the cue.
        {false, cue + "<b>Well...</b> HELL!\n", "Dunvel, 0:00:11.5, 0:00:14, hell\n", {}},
        {false,
         cue + "Damn, well,\nwell, shit\n",
         "Dunvel, 0:00:10, 0:00:11.5, damn\nDunvel, 0:00:12.5, 0:00:14, shit\n",
         {}},
        {false, cue + "Damn, well, shit! Okay.\n", "Dunvel, 0:00:10, 0:00:13.5, damn shit\n", {}},  // touching
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.subtitles);
        std::vector<std::string> warnings;
        std::string text;
        SubtitleOptions options;
        options.whole_cue = c.whole_cue;
        made_ranges(c.subtitles, options, "hell\ndamn*\n*shit\nson of a bitch\ndon't\n", warnings, text);
        EXPECT_EQ(c.ranges, text);
        ASSERT_EQ(c.warnings.size(), warnings.size()) << testing::PrintToString(warnings);
        for (size_t i = 0; i < warnings.size(); ++i)
            EXPECT_TRUE(warnings[i].starts_with(c.warnings[i])) << warnings[i];
    }
    SubtitleScript made;
    std::vector<std::string> warnings;
    std::string error;
    for (const char* nothing : {"", "WEBVTT\n\nNOTE only\n", "1\n00:00:05,000 --> 00:00:04,000\nhell\n"})
        EXPECT_FALSE(subtitle_script(nothing, "x.vtt", word_list("hell", warnings), {}, made, warnings, error));
    EXPECT_EQ("x.vtt: no subtitle cue in it (SubRip or WebVTT)", error);
}

TEST(Subtitles, WordListRules) {
    const std::pair<std::string, std::string> cases[] = {
        // The entries as read, "|" between them, or the one warning.
        {"\xEF\xBB\xBF# note\r\n\r\n  Damn*  \r\nHELL\r\n", "damn*|hell"},
        {"*shit*\nson-of-a-Bitch\nDon’t\n", "*shit*|son of a bitch|don't"},
        {"ÀÉÎ ΘΕΟΣ Σκατά БЛЯДЬ Łódź Ÿ", "àéî θεοσ σκατά блядь łódź ÿ"},
        {"da*n\nhell\n", "words.txt line 1: skipped, a * stands only at the start or the end of a word: da*n"},
        {"* damn\nhell\n", "words.txt line 1: skipped, a * without a word: * damn"},
        {"hell\n!!!\n", "words.txt line 2: skipped, no word in it: !!!"},
    };
    for (const auto& [text, expected] : cases) {
        std::vector<std::string> warnings;
        std::string entries;
        for (const WordEntry& entry : word_list(text, warnings).entries) {
            for (const WordEntry::Word& word : entry.words) {
                entries += std::string(&word == &entry.words[0] ? (entries.empty() ? "" : "|") : " ") +
                           (word.any_before ? "*" : "") + word.text + (word.any_after ? "*" : "");
            }
        }
        EXPECT_EQ(expected, warnings.empty() ? entries : warnings[0] + (warnings.size() > 1 ? " and more" : ""));
    }
    WordList list;
    std::vector<std::string> warnings;
    std::string error;
    EXPECT_FALSE(read_word_list("# nothing\n*\n", "w", list, warnings, error));
    EXPECT_EQ("w: no word to look for in the list", error);
}

// Speech as subtitles carry it: it starts 0 to 0.3 s after its cue starts and ends 0 to 0.3 s
// before the cue ends, and each word takes time for its letters at a rate that varies by ±25 %
// from word to word. The default pads must cover every listed word wherever it falls.
TEST(Subtitles, DefaultPadsCoverListedWordsInTypicalSpeech) {
    const std::pair<double, std::string> cues[] = {
        {2.0, "Oh, shit."},
        {1.2, "Damn!"},
        {3.5, "What the hell are you doing here?"},
        {4.2, "I don't give a damn what he thinks,\nI'm leaving tonight."},
        {2.8, "Get out of here, you bastard!"},
        {5.5, "Christ, Frank, you scared the hell out of me. Sit down."},
        {1.6, "Shut up, bitch."},
        {3.0, "That's bullshit and you know it."},
        {6.0, "Listen to me. If we don't find him before dawn, we're all going to hell."},
        {2.2, "Holy crap, look at that."},
        {4.0, "You crazy bitch! He took the car! Get after him!"},
        {3.3, "- Where's the money?\n- Go to hell."},
    };
    const std::set<std::string> listed = {"shit",   "Damn",  "damn",     "hell", "bastard",
                                          "Christ", "bitch", "bullshit", "crap"};
    std::mt19937 random(20261208);
    auto uniform = [&](double low, double high) { return low + (high - low) * (random() / 4294967296.0); };
    const std::regex word("[A-Za-z']+");
    for (const auto& [length, text] : cues) {
        SCOPED_TRACE(text);
        std::vector<std::string> warnings;
        std::string script;
        std::vector<ScriptRange> muted =
            made_ranges("1\n00:01:00,000 --> " + exact_time_text(60.0 + length) + "\n" + text, {},
                        "shit\ndamn\nhell\nbastard\nchrist\nbitch\nbullshit\ncrap\n", warnings, script);
        std::vector<std::string> spoken(std::sregex_token_iterator(text.begin(), text.end(), word), {});
        for (int draw = 0; draw < 200; ++draw) {
            double start = 60.0 + uniform(0.0, 0.3);
            double end = 60.0 + length - uniform(0.0, 0.3);
            std::vector<double> takes;
            double total = 0.0;
            for (const std::string& each : spoken)
                total += takes.emplace_back(std::count_if(each.begin(), each.end(), ::isalpha) * uniform(0.75, 1.25));
            double at = start;
            for (size_t i = 0; i < spoken.size(); at += takes[i++] / total * (end - start)) {
                double until = at + takes[i] / total * (end - start);
                bool covered = std::any_of(muted.begin(), muted.end(), [&](const ScriptRange& range) {
                    return range.start <= at && until <= range.end;
                });
                EXPECT_TRUE(covered || !listed.contains(spoken[i])) << spoken[i] << " spoken " << at << " to " << until;
            }
        }
    }
}

}  // namespace
}  // namespace dvbk
