#include "cli/subtitles.h"

#include <algorithm>
#include <cstdint>
#include <sstream>

#include "cli/input_lines.h"
#include "cli/ranges.h"
#include "script/film_time.h"
#include "script/filter_script.h"
#include "text/c_locale.h"
#include "text/utf8.h"

namespace dvbk {
namespace {

// ---- Text as code points

// What Windows-1252 puts at 0x80 to 0x9F; Latin-1 has the same code points as its bytes elsewhere.
constexpr char16_t CP1252_HIGH[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178,
};

// A line as UTF-8: as it is when it is UTF-8, else read as Windows-1252, in which most subtitles
// and lists saved before UTF-8 (Notepad's "ANSI") were written. True when it was converted.
bool to_utf8(std::string& line) {
    if (is_valid_utf8(line))
        return false;
    std::string converted;
    for (char c : line) {
        auto byte = static_cast<unsigned char>(c);
        append_utf8(converted, byte >= 0x80 && byte < 0xA0 ? CP1252_HIGH[byte - 0x80] : byte);
    }
    line = std::move(converted);
    return true;
}

// Letter case folded for ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic.
char32_t fold(char32_t cp) {
    if (cp < 0x80)
        return static_cast<unsigned char>(ascii_lower(static_cast<char>(cp)));
    if ((cp >= 0xC0 && cp <= 0xDE && cp != 0xD7) || (cp >= 0x391 && cp <= 0x3AB && cp != 0x3A2) ||
        (cp >= 0x410 && cp <= 0x42F))
        return cp + 0x20;
    if (cp == 0x130)
        return 'i';
    if (cp == 0x178)
        return 0xFF;
    bool even_upper = (cp >= 0x100 && cp <= 0x137) || (cp >= 0x14A && cp <= 0x177) || (cp >= 0x460 && cp <= 0x481) ||
                      (cp >= 0x48A && cp <= 0x4BF) || (cp >= 0x4D0 && cp <= 0x52F);
    bool odd_upper = (cp >= 0x139 && cp <= 0x148) || (cp >= 0x179 && cp <= 0x17E) || (cp >= 0x4C1 && cp <= 0x4CE);
    if ((even_upper && cp % 2 == 0) || (odd_upper && cp % 2 == 1))
        return cp + 1;
    if (cp >= 0x400 && cp <= 0x40F)
        return cp + 0x50;
    switch (cp) {
        case 0x386:
            return 0x3AC;
        case 0x388:
        case 0x389:
        case 0x38A:
            return cp + 0x25;
        case 0x38C:
            return 0x3CC;
        case 0x38E:
        case 0x38F:
            return cp + 0x3F;
        case 0x3C2:  // final sigma
            return 0x3C3;
        case 0x4C0:
            return 0x4CF;
    }
    return cp;
}

enum class CharKind { Letter, Apostrophe, Invisible, Other };

CharKind char_kind(char32_t cp) {
    if (cp < 0x80) {
        char c = static_cast<char>(cp);
        if (is_c_digit(c) || (ascii_lower(c) >= 'a' && ascii_lower(c) <= 'z'))
            return CharKind::Letter;
        return c == '\'' || c == '`' ? CharKind::Apostrophe : CharKind::Other;
    }
    if (cp == 0x2019 || cp == 0x2BC || cp == 0xB4)
        return CharKind::Apostrophe;
    // The soft hyphen, joiners, direction marks: nothing shows, so a word goes on across them.
    if (cp == 0xAD || (cp >= 0x200C && cp <= 0x200F) || (cp >= 0x202A && cp <= 0x202E) ||
        (cp >= 0x2060 && cp <= 0x2064) || cp == 0xFEFF)
        return CharKind::Invisible;
    // Latin-1's signs, spaces and punctuation of every script, arrows and symbols, CJK punctuation,
    // the fullwidth ASCII signs and the emoji. Letters are the rest, including those of scripts
    // written without spaces.
    bool other = cp < 0xC0 ? cp != 0xAA && cp != 0xB5 && cp != 0xBA
                           : cp == 0xD7 || cp == 0xF7 || (cp >= 0x2000 && cp <= 0x2BFF) ||
                                 (cp >= 0x2E00 && cp <= 0x2E7F) || (cp >= 0x3000 && cp <= 0x303F) ||
                                 (cp >= 0xFE30 && cp <= 0xFE6F) || (cp >= 0xFF00 && cp <= 0xFF0F) ||
                                 (cp >= 0xFF1A && cp <= 0xFF20) || (cp >= 0xFF3B && cp <= 0xFF40) ||
                                 (cp >= 0xFF5B && cp <= 0xFF65) || (cp >= 0x1F000 && cp <= 0x1FAFF);
    return other ? CharKind::Other : CharKind::Letter;
}

// A word as matched: its letters folded, an apostrophe inside it written as "'". Its weight is the
// number of its letters, the share of the cue's time it is taken to need.
struct Word {
    std::string text;
    int weight = 0;
};

// Appends the words of UTF-8 `text`. An apostrophe belongs to a word only between two letters
// ("don't"); hyphens and all other signs part words.
void append_words(std::string_view text, std::vector<Word>& words) {
    Word word;
    bool apostrophe = false;
    auto finish = [&] {
        if (word.weight > 0)
            words.push_back(std::move(word));
        word = Word();
        apostrophe = false;
    };
    for (size_t pos = 0; pos < text.size();) {
        char32_t cp = 0;
        next_code_point(text, pos, cp);
        switch (char_kind(cp)) {
            case CharKind::Letter:
                if (apostrophe)
                    word.text += '\'';
                apostrophe = false;
                append_utf8(word.text, fold(cp));
                ++word.weight;
                break;
            case CharKind::Apostrophe:
                if (word.weight > 0 && !apostrophe)
                    apostrophe = true;
                else
                    finish();
                break;
            case CharKind::Invisible:
                break;
            case CharKind::Other:
                finish();
                break;
        }
    }
    finish();
}

// ---- Cue text

// The character an HTML entity at the start of `text` ("&amp;", "&#8217;", "&#x2019;") stands for,
// and its length; 0 when there is none. Direction marks stand for nothing.
size_t read_entity(std::string_view text, std::string& out) {
    size_t semicolon = text.find(';');
    if (semicolon == std::string_view::npos || semicolon < 2 || semicolon > 10)
        return 0;
    std::string_view name = text.substr(1, semicolon - 1);
    const std::pair<std::string_view, std::string_view> named[] = {
        {"amp", "&"},  {"lt", "<"},          {"gt", ">"}, {"quot", "\""},
        {"apos", "'"}, {"nbsp", "\xC2\xA0"}, {"lrm", ""}, {"rlm", ""},
    };
    for (const auto& [entity, character] : named) {
        if (name == entity) {
            out += character;
            return semicolon + 1;
        }
    }
    if (name[0] != '#' || name.size() < 2)
        return 0;
    bool hex = name[1] == 'x' || name[1] == 'X';
    std::string_view digits = name.substr(hex ? 2 : 1);
    if (digits.empty())
        return 0;
    char32_t cp = 0;
    for (char c : digits) {
        char lower = ascii_lower(c);
        int digit = is_c_digit(c) ? c - '0' : hex && lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
        if (digit < 0)
            return 0;
        cp = std::min<char32_t>(cp * (hex ? 16 : 10) + static_cast<char32_t>(digit), 0x110000);
    }
    append_utf8(out, cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF) ? REPLACEMENT_CHARACTER : cp);
    return semicolon + 1;
}

// A cue's line as it shows: without tags ("<i>", "<font color=...>", "<v Name>", "<00:01:02.000>"),
// without "{\an8}" and other overrides, with its entities decoded, and with the line breaks and hard
// spaces of ASS ("\N", "\h"), which converters leave in SubRip files, as blanks.
std::string shown_text(std::string_view line) {
    std::string text;
    for (size_t i = 0; i < line.size();) {
        char c = line[i];
        char next = i + 1 < line.size() ? line[i + 1] : '\0';
        size_t close = std::string_view::npos;
        if (c == '<' && (is_c_digit(next) || next == '/' || (ascii_lower(next) >= 'a' && ascii_lower(next) <= 'z')))
            close = line.find('>', i);
        else if (c == '{' && next == '\\')
            close = line.find('}', i);
        if (close != std::string_view::npos) {
            i = close + 1;
            continue;
        }
        if (c == '\\' && (next == 'N' || next == 'n' || next == 'h')) {
            text += ' ';
            i += 2;
            continue;
        }
        size_t entity = c == '&' ? read_entity(line.substr(i), text) : 0;
        if (entity == 0)
            text += c;
        i += entity == 0 ? 1 : entity;
    }
    return text;
}

// ---- Reading cues

struct Cue {
    Span span;
    std::vector<Word> words;
};

// "00:01:02,500 --> 00:01:04,000" and whatever follows the end (WebVTT's cue settings, SubRip's
// old box coordinates): a cue timing line with SubRip's decimal comma, whose times have colons as
// both formats write them.
bool read_timing(std::string_view line, double& start, double& end) {
    std::string timing(line);
    std::replace(timing.begin(), timing.end(), ',', '.');
    size_t arrow = timing.find("-->");
    std::vector<std::string_view> after = split_blanks(std::string_view(timing).substr(arrow + 3));
    return timing.find(':') < arrow && !after.empty() && after[0].find(':') != std::string_view::npos &&
           read_cue_timing(timing, start, end);
}

bool starts_with_keyword(std::string_view line, std::string_view keyword) {
    return line.starts_with(keyword) &&
           (line.size() == keyword.size() || line[keyword.size()] == ' ' || line[keyword.size()] == '\t');
}

// The cues of a SubRip or WebVTT text, in file order. A cue's text runs from its timing line to the
// next: SubRip files in the wild leave out blank lines or put them inside a cue, and the number
// before a timing line (any number, or none) is not part of the cue before it. WebVTT ends a cue at
// a blank line and has blocks of other kinds, which are skipped.
class CueReader {
public:
    CueReader(const std::string& name, std::vector<std::string>& warnings) : name_(name), warnings_(warnings) {}

    std::vector<Cue> read(std::string_view subtitles) {
        std::istringstream in{std::string(subtitles)};
        LineReader lines(in);
        std::string line;
        bool webvtt = false;
        bool block_start = true;
        while (lines.next(line)) {
            std::int64_t number = lines.number();
            if (to_utf8(line) && !converted_) {
                converted_ = true;
                warnings_.push_back(at_line(name_, number) +
                                    "not UTF-8: read as Windows-1252, as is every other such line");
            }
            std::string_view trimmed = trim_blanks(line);
            if (number == 1 && starts_with_keyword(trimmed, "WEBVTT")) {
                webvtt = true;
                state_ = State::Skipped;  // the header
                continue;
            }
            if (trimmed.empty()) {
                if (webvtt) {
                    finish();
                    state_ = State::Between;
                }
                block_start = true;
                continue;
            }
            if (trimmed.find("-->") != std::string_view::npos) {
                timing(trimmed, number);
            } else if (webvtt && block_start &&
                       (starts_with_keyword(trimmed, "NOTE") || starts_with_keyword(trimmed, "STYLE") ||
                        starts_with_keyword(trimmed, "REGION"))) {
                state_ = State::Skipped;
            } else if (state_ == State::InCue) {
                text_.emplace_back(trimmed);
                last_text_line_ = number;
            }
            block_start = false;
        }
        finish();
        return std::move(cues_);
    }

private:
    enum class State { Between, InCue, Skipped };

    void timing(std::string_view line, std::int64_t number) {
        // The cue number just above belongs to the new cue.
        if (state_ == State::InCue && !text_.empty() && last_text_line_ == number - 1 && all_digits(text_.back()))
            text_.pop_back();
        finish();
        double start = 0.0;
        double end = 0.0;
        state_ = State::Skipped;
        if (!read_timing(line, start, end)) {
            warn(number, "cue skipped, bad timing line: ", line);
        } else if (end < start) {
            warn(number, "cue skipped, its end is before its start: ", line);
        } else {
            cue_.span = {start_ms(start), end_ms(end)};
            if (cue_.span.end <= cue_.span.start)
                warn(number, "cue skipped, it lasts no time that a script can hold: ", line);
            else
                state_ = State::InCue;
        }
    }

    void finish() {
        if (state_ == State::InCue) {
            cue_.words.clear();
            for (const std::string& text : text_)
                append_words(shown_text(text), cue_.words);
            cues_.push_back(std::move(cue_));
            cue_ = Cue();
        }
        text_.clear();
        state_ = State::Between;
    }

    void warn(std::int64_t number, const char* message, std::string_view line) {
        warnings_.push_back(at_line(name_, number) + message + quote_line(line));
    }

    const std::string& name_;
    std::vector<std::string>& warnings_;
    std::vector<Cue> cues_;
    State state_ = State::Between;
    Cue cue_{{0, 0}, {}};
    std::vector<std::string> text_;
    std::int64_t last_text_line_ = 0;
    bool converted_ = false;
};

// ---- Matching

bool word_fits(const WordEntry::Word& word, std::string_view text) {
    if (word.any_before && word.any_after)
        return text.find(word.text) != std::string_view::npos;
    if (word.any_before)
        return text.ends_with(word.text);
    if (word.any_after)
        return text.starts_with(word.text);
    return text == word.text;
}

// A word of the list finds a cue's word, also with "'s" after it ("hell's").
bool word_matches(const WordEntry::Word& word, std::string_view text) {
    return word_fits(word, text) || (text.ends_with("'s") && word_fits(word, text.substr(0, text.size() - 2)));
}

// The words [first, last) of a cue that one entry, or several overlapping ones, found.
struct Found {
    size_t first;
    size_t last;
};

std::vector<Found> find_words(const std::vector<Word>& words, const WordList& list) {
    std::vector<Found> found;
    for (size_t first = 0; first < words.size(); ++first) {
        size_t last = first;
        for (const WordEntry& entry : list.entries) {
            size_t count = entry.words.size();
            if (count > words.size() - first)
                continue;
            bool matches = true;
            for (size_t i = 0; i < count && matches; ++i)
                matches = word_matches(entry.words[i], words[first + i].text);
            if (matches)
                last = std::max(last, first + count);
        }
        if (last == first)
            continue;
        if (!found.empty() && first < found.back().last)
            found.back().last = std::max(found.back().last, last);
        else
            found.push_back({first, last});
    }
    return found;
}

// A span to mute and the words it is for.
struct Muted {
    Span span;
    std::string words;
};

void mute_found(const Cue& cue, const std::vector<Found>& found, const SubtitleOptions& options,
                std::vector<Muted>& muted) {
    int total = 0;
    for (const Word& word : cue.words)
        total += word.weight;
    double cue_start = static_cast<double>(cue.span.start) / 1000.0;
    double length = static_cast<double>(cue.span.end - cue.span.start) / 1000.0;
    int before = 0;
    size_t next = 0;
    for (const Found& words : found) {
        for (; next < words.first; ++next)
            before += cue.words[next].weight;
        int through = before;
        std::string text;
        for (size_t i = words.first; i < words.last; ++i) {
            through += cue.words[i].weight;
            text += (text.empty() ? "" : " ") + cue.words[i].text;
        }
        Span span = cue.span;
        if (!options.whole_cue) {
            span.start = std::max(span.start, start_ms(cue_start + length * before / total - options.pad_before));
            span.end = std::min(span.end, end_ms(cue_start + length * through / total + options.pad_after));
        }
        if (span.end > span.start)
            muted.push_back({span, std::move(text)});
    }
}

}  // namespace

bool read_word_list(std::string_view text, const std::string& name, WordList& list, std::vector<std::string>& warnings,
                    std::string& error) {
    std::istringstream in{std::string(text)};
    LineReader lines(in);
    bool converted = false;
    for (std::string line; lines.next(line);) {
        if (to_utf8(line) && !converted) {
            converted = true;
            warnings.push_back(at_line(name, lines.number()) +
                               "not UTF-8: read as Windows-1252, as is every other such line");
        }
        std::string_view written = trim_blanks(line);
        if (written.empty() || written.front() == '#')
            continue;
        WordEntry entry;
        entry.line = written;
        const char* problem = nullptr;
        for (std::string_view part : split_blanks(written)) {
            size_t first = part.find_first_not_of('*');
            size_t last = part.find_last_not_of('*');
            std::string_view core = first == std::string_view::npos ? "" : part.substr(first, last + 1 - first);
            bool starred = core.size() < part.size();
            std::vector<Word> words;
            append_words(core, words);
            if (core.find('*') != std::string_view::npos)
                problem = "skipped, a * stands only at the start or the end of a word: ";
            else if (words.empty() && starred)
                problem = "skipped, a * without a word: ";
            for (size_t i = 0; i < words.size(); ++i) {
                entry.words.push_back(
                    {std::move(words[i].text), i == 0 && first > 0, i + 1 == words.size() && last + 1 < part.size()});
            }
        }
        if (!problem && entry.words.empty())
            problem = "skipped, no word in it: ";
        if (problem)
            warnings.push_back(at_line(name, lines.number()) + problem + quote_line(written));
        else
            list.entries.push_back(std::move(entry));
    }
    if (list.entries.empty()) {
        error = quote_line(name) + ": no word to look for in the list";
        return false;
    }
    return true;
}

bool subtitle_script(std::string_view subtitles, const std::string& name, const WordList& words,
                     const SubtitleOptions& options, SubtitleScript& made, std::vector<std::string>& warnings,
                     std::string& error) {
    made = SubtitleScript();
    std::vector<Cue> cues = CueReader(name, warnings).read(subtitles);
    if (cues.empty()) {
        error = quote_line(name) + ": no subtitle cue in it (SubRip or WebVTT)";
        return false;
    }
    made.cues = cues.size();
    std::vector<Muted> muted;
    for (const Cue& cue : cues) {
        std::vector<Found> found = find_words(cue.words, words);
        made.cues_matched += found.empty() ? 0 : 1;
        made.words_matched += found.size();
        mute_found(cue, found, options, muted);
    }
    if (muted.empty())
        return true;

    // Overlapping cues each had their own say; now ranges that touch or overlap become one.
    std::stable_sort(muted.begin(), muted.end(),
                     [](const Muted& a, const Muted& b) { return a.span.start < b.span.start; });
    std::vector<Span> ranges;
    for (const Muted& each : muted)
        ranges.push_back(each.span);
    merge_spans(ranges, true);
    std::vector<std::string> range_words(ranges.size());
    size_t range = 0;
    std::int64_t muted_ms = 0;
    for (const Muted& each : muted) {
        while (each.span.start > ranges[range].end)
            ++range;
        range_words[range] += (range_words[range].empty() ? "" : " ") + each.words;
    }
    made.text = "# Mute ranges around the listed words in the subtitles " + quote_line(name) + "\n";
    for (size_t i = 0; i < ranges.size(); ++i) {
        made.text += range_line(RangeKind::Mute, static_cast<double>(ranges[i].start) / 1000.0,
                                static_cast<double>(ranges[i].end) / 1000.0) +
                     ", " + range_words[i] + "\n";
        muted_ms += ranges[i].end - ranges[i].start;
    }
    made.ranges = ranges.size();
    made.muted = static_cast<double>(muted_ms) / 1000.0;
    return true;
}

std::string subtitle_summary(const SubtitleScript& made) {
    auto counted = [](std::size_t count, const char* one, const char* more) {
        return std::to_string(count) + " " + (count == 1 ? one : more);
    };
    return counted(made.cues, "cue", "cues") + ", " + std::to_string(made.cues_matched) + " matched (" +
           counted(made.words_matched, "word", "words") + "): " + counted(made.ranges, "mute range", "mute ranges") +
           ", " + exact_time_text(made.muted) + " muted";
}

}  // namespace dvbk
