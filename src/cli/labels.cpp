#include "cli/labels.h"

#include "cli/input_lines.h"
#include "text/c_locale.h"

namespace dvbk {
namespace {

// Categories with a clear counterpart in the other file's vocabulary; a skip file's is known by
// its first three letters. Others, such as alcohol and drugs, are the same word in both.
struct Counterpart {
    const char* skp;
    const char* mcf;
};
constexpr Counterpart COUNTERPARTS[] = {
    {"sex", "sex"},          {"nudity", "nudity"},     {"violence", "violence"}, {"profanity", "language"},
    {"frightening", "fear"}, {"other", "dispensable"},
};

const char* const SEVERITY_NAMES[] = {"low", "medium", "high"};

// A label written with a rating 1-3 comes from a skip file, one with a severity word from a Movie
// Content Filter file; each names its category in its own file's words.
bool in_skp_words(const ContentLabel& label) {
    return all_digits(label.rating_text);
}

}  // namespace

int severity_rating(std::string_view word) {
    for (int rating = MIN_RATING; rating <= MAX_RATING; ++rating) {
        if (equals_ignoring_case(word, SEVERITY_NAMES[rating - MIN_RATING]))
            return rating;
    }
    return 0;
}

bool read_label(std::string_view line, ContentLabel& label, std::string& problem) {
    label = ContentLabel();
    std::string outside(line);
    size_t open = line.find('(');
    if (open != std::string_view::npos) {
        size_t close = line.rfind(')');
        bool closed = close != std::string_view::npos && close > open;
        label.text = trim_blanks(line.substr(open + 1, closed ? close - open - 1 : std::string_view::npos));
        outside = std::string(line.substr(0, open)) + " " + std::string(closed ? line.substr(close + 1) : "");
    }
    for (std::string_view word : split_blanks(outside)) {
        int rating = all_digits(word) ? -1 : severity_rating(word);
        if (rating != 0 && !label.rating_text.empty()) {
            problem = "two ratings, '" + quote_line(label.rating_text) + "' and '" + quote_line(word) + "'";
            return false;
        }
        if (rating == -1) {
            std::int64_t number = 0;
            if (!read_whole(word, number) || number < MIN_RATING || number > MAX_RATING) {
                problem = "the rating '" + quote_line(word) + "' is not 1, 2 or 3";
                return false;
            }
            rating = static_cast<int>(number);
        }
        if (rating != 0) {
            label.rating = rating;
            label.rating_text = word;
        } else if (label.handling.empty() &&
                   (equals_ignoring_case(word, "image") || equals_ignoring_case(word, "word"))) {
            label.handling = word;
        } else if (label.category.empty()) {
            label.category = word;
        } else {
            label.unknown.emplace_back(word);
        }
    }
    if (label.category.empty())
        problem = "no category";
    else if (label.rating == 0)
        problem = "no rating 1, 2 or 3";
    return problem.empty();
}

std::string label_note(const ContentLabel& label) {
    std::string note = label.category + " " + label.rating_text;
    if (!label.text.empty())
        note += " (" + label.text + ")";
    return note;
}

bool read_note_labels(std::string_view note, std::vector<ContentLabel>& labels) {
    labels.clear();
    int depth = 0;
    size_t start = 0;
    for (size_t i = 0; i <= note.size(); ++i) {
        char c = i < note.size() ? note[i] : ',';
        if (c == '(')
            ++depth;
        else if (c == ')' && depth > 0)
            --depth;
        if (c != ',' || (depth > 0 && i < note.size()))
            continue;
        ContentLabel label;
        std::string problem;
        if (!read_label(note.substr(start, i - start), label, problem) || !label.unknown.empty())
            return false;
        labels.push_back(std::move(label));
        start = i + 1;
    }
    return true;
}

std::string skp_category(const ContentLabel& label) {
    if (!in_skp_words(label)) {
        for (const Counterpart& counterpart : COUNTERPARTS) {
            if (equals_ignoring_case(label.category, counterpart.mcf))
                return counterpart.skp;
        }
    }
    return label.category;
}

std::string mcf_category(const ContentLabel& label) {
    if (in_skp_words(label)) {
        for (const Counterpart& counterpart : COUNTERPARTS) {
            if (same_skp_category(label.category, counterpart.skp))
                return counterpart.mcf;
        }
    }
    return label.category;
}

const char* severity_name(int rating) {
    return rating >= MIN_RATING && rating <= MAX_RATING ? SEVERITY_NAMES[rating - MIN_RATING] : "high";
}

bool same_skp_category(std::string_view a, std::string_view b) {
    return equals_ignoring_case(a.substr(0, 3), b.substr(0, 3));
}

}  // namespace dvbk
