#include "script/film_match.h"

#include <algorithm>
#include <cmath>
#include <tuple>

#include "text/c_locale.h"

namespace dvbk {
namespace {

// Where the address's host ends: after "scheme://host", or the host that opens an address written
// without a scheme; the path, query or fragment starts there.
size_t host_end(std::string_view address) {
    size_t scheme = address.find("://");
    size_t start = scheme != std::string_view::npos && scheme < address.find('/') ? scheme + 3 : 0;
    return std::min(address.find_first_of("/?#", start), address.size());
}

bool titles_equal(std::string_view a, std::string_view b) {
    return equals_ignoring_case(fold_blanks(a), fold_blanks(b));
}

// The film's name without a closing " (1995)".
std::string_view without_year(std::string_view film) {
    size_t open = film.rfind('(');
    std::string_view year = open == std::string_view::npos ? std::string_view() : film.substr(open);
    if (year.size() != 6 || year.back() != ')' || !std::all_of(year.begin() + 1, year.end() - 1, is_c_digit))
        return film;
    film.remove_suffix(year.size());
    return trim_blanks(film);
}

MatchReason reason_of(MatchKind kind) {
    switch (kind) {
        case MatchKind::Hash:
            return MatchReason::Hash;
        case MatchKind::File:
            return MatchReason::FileName;
        case MatchKind::Page:
            return MatchReason::Page;
        case MatchKind::Title:
            return MatchReason::Title;
    }
    return MatchReason::Title;
}

// How `description` matches `source`, best way first; nothing when it does not.
std::optional<ScriptMatch> match_one(const VideoSource& source, const DescribedScript& script) {
    const FilmDescription& description = script.description;
    std::vector<MatchRule> rules = description.matches;
    for (const CopyLine& copy : description.copies)
        rules.push_back(copy.source);
    std::optional<ScriptMatch> best;
    for (const MatchRule& rule : rules) {
        MatchReason reason = reason_of(rule.kind);
        MatchRank rank = reason == MatchReason::Title ? MatchRank::TitleLine : MatchRank::Identity;
        if (rule_matches(rule, source) && (!best || std::tie(rank, reason) < std::tie(best->rank, best->reason)))
            best = ScriptMatch{script.path, reason, rank, std::nullopt};
    }
    if (rules.empty() && !source.title.empty() && film_matches(description.film, source.title))
        best = ScriptMatch{script.path, MatchReason::Title, MatchRank::FilmName, std::nullopt};
    if (!best)
        return std::nullopt;
    const CopyLine* copy = copy_for(description, source);
    if (copy)
        best->copy_map = copy->map;
    double duration = copy ? copy->map.apply(description.duration) : description.duration;
    if (description.duration > 0.0 && !durations_agree(duration, source.duration))
        return std::nullopt;
    return best;
}

}  // namespace

bool page_matches(std::string_view pattern, std::string_view address) {
    size_t host = host_end(address);
    // Left to right; on a mismatch the last `*` takes one more character and the rest tries again.
    size_t p = 0, a = 0, star = std::string_view::npos, star_at = 0;
    while (a < address.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            star_at = a;
        } else if (p < pattern.size() &&
                   (a < host ? ascii_lower(pattern[p]) == ascii_lower(address[a]) : pattern[p] == address[a])) {
            ++p;
            ++a;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            a = ++star_at;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

bool durations_agree(double script_duration, double video_duration) {
    if (!(script_duration > 0.0) || !(video_duration > 0.0))
        return true;
    return std::fabs(video_duration - script_duration) <= std::max(DURATION_SLACK, DURATION_SHARE * script_duration);
}

bool rule_matches(const MatchRule& rule, const VideoSource& source) {
    switch (rule.kind) {
        case MatchKind::Hash:
            return !source.hash.empty() && equals_ignoring_case(rule.value, source.hash);
        case MatchKind::File:
            return !source.file_name.empty() && equals_ignoring_case(rule.value, source.file_name);
        case MatchKind::Page:
            return !source.page.empty() && page_matches(rule.value, source.page);
        case MatchKind::Title:
            return !source.title.empty() && titles_equal(rule.value, source.title);
    }
    return false;
}

bool film_matches(std::string_view film, std::string_view title) {
    std::string folded = fold_blanks(film);
    return !folded.empty() && (titles_equal(folded, title) || titles_equal(without_year(folded), title));
}

const CopyLine* copy_for(const FilmDescription& description, const VideoSource& source) {
    for (const CopyLine& copy : description.copies) {
        if (rule_matches(copy.source, source))
            return &copy;
    }
    return nullptr;
}

std::optional<MatchRule> copy_source(const VideoSource& source) {
    if (!source.hash.empty())
        return MatchRule{MatchKind::Hash, source.hash};
    if (!source.page.empty())
        return MatchRule{MatchKind::Page, source.page};
    return std::nullopt;
}

const char* match_reason_text(MatchReason reason) {
    switch (reason) {
        case MatchReason::Hash:
            return "its hash";
        case MatchReason::FileName:
            return "its file name";
        case MatchReason::Page:
            return "its page";
        case MatchReason::Title:
            return "its title";
    }
    return "";
}

ScriptMatches match_scripts(const VideoSource& source, const std::vector<DescribedScript>& scripts) {
    ScriptMatches matches;
    for (const DescribedScript& script : scripts) {
        if (std::optional<ScriptMatch> match = match_one(source, script))
            matches.best_first.push_back(*match);
    }
    std::sort(matches.best_first.begin(), matches.best_first.end(), [](const ScriptMatch& a, const ScriptMatch& b) {
        return std::tie(a.rank, a.reason, a.path) < std::tie(b.rank, b.reason, b.path);
    });
    matches.best_count = static_cast<size_t>(
        std::count_if(matches.best_first.begin(), matches.best_first.end(),
                      [&](const ScriptMatch& match) { return match.rank == matches.best_first.front().rank; }));
    return matches;
}

bool is_script_file_name(std::string_view name) {
    auto ends_with = [&](std::string_view tail) {
        return name.size() > tail.size() && equals_ignoring_case(name.substr(name.size() - tail.size()), tail);
    };
    return ends_with(".dvbk") || ends_with(".txt");
}

}  // namespace dvbk
