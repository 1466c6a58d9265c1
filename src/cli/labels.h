// What the filter files people share say about a range's content: a category and how severe it is,
// in the words of skip files (.skp: "nude image 1 (male, from behind)") and of Movie Content Filter
// files ("language=high"), and the conversion between the two. An imported range keeps its label as
// the fourth field of its script line, "category rating (text)", which the exports read back.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace dvbk {

// How severe: a skip file's rating 1, 2 or 3 (content problematic for children, for teens, even
// for adults), a Movie Content Filter severity low, medium or high.
constexpr int MIN_RATING = 1;
constexpr int MAX_RATING = 3;

struct ContentLabel {
    std::string category;              // as written
    int rating = 0;                    // MIN_RATING ... MAX_RATING
    std::string rating_text;           // as written: "2" or "medium"
    std::string handling;              // a skip file's "image" or "word", as written; empty when none
    std::vector<std::string> unknown;  // words that are none of the above
    std::string text;                  // what stood in parentheses, without them
};

// One label's words in any order: a category, a rating (1-3 or low/medium/high), a handling word,
// text in parentheses. False, with `problem` set, without a category or a rating, or with two
// ratings; further words land in `unknown`.
bool read_label(std::string_view line, ContentLabel& label, std::string& problem);

// The label as an imported range's note: "nude 1 (male, from behind)", without the handling, which
// the range's kind says.
std::string label_note(const ContentLabel& label);

// The labels of a range line's note, separated by commas outside parentheses; false when any part
// is not a label as label_note writes it (free text).
bool read_note_labels(std::string_view note, std::vector<ContentLabel>& labels);

// A label's category in each file's vocabulary: a category with a clear counterpart (violence,
// profanity and language, frightening and fear, ...) becomes it; any other is kept as written.
std::string skp_category(const ContentLabel& label);
std::string mcf_category(const ContentLabel& label);

// The rating a severity word names, in any letter case: low 1, medium 2, high 3; 0 for any other.
int severity_rating(std::string_view word);

// "low", "medium" or "high" for a rating.
const char* severity_name(int rating);

// Skip file categories are the same when their first three letters are, in any letter case:
// "vio", "violence" and "Violence" are one.
bool same_skp_category(std::string_view a, std::string_view b);

}  // namespace dvbk
