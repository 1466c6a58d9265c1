#include "cli/ranges.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <tuple>

#include "script/film_time.h"
#include "text/c_locale.h"
#include "text/whole_file.h"

namespace dvbk {
namespace {

// 14.5 s may arrive as 14499.999999999998 ms after arithmetic: within a microsecond of a whole
// millisecond counts as on it.
constexpr double TOLERANCE_MS = 1e-3;

std::int64_t clamp_ms(double ms) {
    // Written so that NaN lands on 0 as well.
    if (!(ms > 0.0))
        return 0;
    if (ms >= static_cast<double>(MAX_FILM_MS))
        return MAX_FILM_MS;
    return static_cast<std::int64_t>(ms);
}

const char* kind_name(EventKind kind) {
    switch (kind) {
        case EventKind::CoverStart:
            return "CoverStart";
        case EventKind::CoverEnd:
            return "CoverEnd";
        case EventKind::MuteStart:
            return "MuteStart";
        case EventKind::MuteEnd:
            return "MuteEnd";
        case EventKind::BothStart:
            return "BothStart";
    }
    return "Unknown";
}

struct ScriptLine {
    Span span;
    RangeKind kind;
    std::string note;
};

// A range of one track on its way into the script, with the note it keeps and where it stood in
// the file.
struct NotedSpan {
    Span span;
    const SourceRange* source;
    size_t order;
};

// Of two ranges that become one, the one whose note stays: the more severe, else the earlier.
const NotedSpan& noted_of(const NotedSpan& a, const NotedSpan& b) {
    if (a.source->severity != b.source->severity)
        return a.source->severity > b.source->severity ? a : b;
    return a.order <= b.order ? a : b;
}

// Sorts one track's ranges and joins those that overlap, as merge_spans does, each keeping a note.
void merge_noted(std::vector<NotedSpan>& spans) {
    std::sort(spans.begin(), spans.end(), [](const NotedSpan& a, const NotedSpan& b) {
        return std::tie(a.span.start, a.order) < std::tie(b.span.start, b.order);
    });
    std::vector<NotedSpan> merged;
    for (const NotedSpan& span : spans) {
        if (merged.empty() || span.span.start >= merged.back().span.end) {
            merged.push_back(span);
            continue;
        }
        Span joined{merged.back().span.start, std::max(merged.back().span.end, span.span.end)};
        merged.back() = noted_of(merged.back(), span);
        merged.back().span = joined;
    }
    spans = std::move(merged);
}

// A note as a script line holds it: on that one line, without control bytes, trimmed.
std::string note_text(std::string_view note) {
    std::string text(note);
    std::replace_if(text.begin(), text.end(), is_c_control, ' ');
    return std::string(trim_blanks(text));
}

}  // namespace

std::int64_t start_ms(double seconds) {
    return clamp_ms(std::floor(seconds * 1000.0 + TOLERANCE_MS));
}

std::int64_t end_ms(double seconds) {
    return clamp_ms(std::ceil(seconds * 1000.0 - TOLERANCE_MS));
}

void merge_spans(std::vector<Span>& spans, bool join_touching) {
    std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) { return a.start < b.start; });
    std::vector<Span> merged;
    for (const Span& span : spans) {
        if (!merged.empty() && (span.start < merged.back().end || (join_touching && span.start == merged.back().end))) {
            merged.back().end = std::max(merged.back().end, span.end);
        } else {
            merged.push_back(span);
        }
    }
    spans = std::move(merged);
}

std::string range_text(const char* what, std::int64_t start, std::int64_t end) {
    return std::string(what) + " range " + exact_time_text_ms(start) + "-" + exact_time_text_ms(end);
}

const char* range_fault(double start, double end) {
    if (end < start)
        return "the end is before the start";
    if (start_ms(start) >= MAX_FILM_MS)
        return "it starts later than a script can hold";
    if (end_ms(end) <= start_ms(start))
        return "empty range";
    return nullptr;
}

bool exportable_span(double start, double end, Span& span, std::vector<std::string>& warnings) {
    span = {start_ms(start), end_ms(end)};
    if (span.start >= MAX_FILM_MS) {
        warnings.push_back("a range that starts after " + exact_time_text_ms(MAX_FILM_MS) + " is left out");
        return false;
    }
    if (span.end <= span.start) {
        warnings.push_back(range_text("empty", span.start, span.end) + " is left out");
        return false;
    }
    return true;
}

std::vector<ScriptRange> script_ranges(const FilterScript& script) {
    struct Open {
        bool open = false;
        double start = 0.0;
        bool combined = false;
    };
    Open mute;
    Open cover;
    std::vector<ScriptRange> ranges;
    // The loader sorts stably, so where ranges of one kind touch, the end event comes before the
    // next start and every end closes the range that is open.
    for (const FilterEvent& event : script.events) {
        switch (event.kind) {
            case EventKind::MuteStart:
                mute = {true, event.time, false};
                break;
            case EventKind::CoverStart:
                cover = {true, event.time, false};
                break;
            case EventKind::BothStart:
                mute = cover = {true, event.time, true};
                break;
            case EventKind::MuteEnd:
                if (mute.open)
                    ranges.push_back({mute.start, event.time, mute.combined ? RangeKind::Combined : RangeKind::Mute});
                mute.open = false;
                break;
            case EventKind::CoverEnd:
                // A combined range was recorded at its mute end, which has the same time.
                if (cover.open && !cover.combined)
                    ranges.push_back({cover.start, event.time, RangeKind::Cover});
                cover.open = false;
                break;
        }
    }
    std::stable_sort(ranges.begin(), ranges.end(),
                     [](const ScriptRange& a, const ScriptRange& b) { return a.start < b.start; });
    return ranges;
}

std::string check_summary(const FilterScript& script) {
    size_t mutes = 0;
    size_t covers = 0;
    double muted = 0.0;
    double covered = 0.0;
    for (const ScriptRange& range : script_ranges(script)) {
        if (range.kind != RangeKind::Cover) {
            ++mutes;
            muted += range.end - range.start;
        }
        if (range.kind != RangeKind::Mute) {
            ++covers;
            covered += range.end - range.start;
        }
    }
    return "OK: " + std::to_string(script.events.size()) + " events, " + std::to_string(mutes) + " mute ranges, " +
           std::to_string(covers) + " cover ranges, muted " + rounded_time_text(muted) + ", covered " +
           rounded_time_text(covered) + ", end " + rounded_time_text(script.film_end);
}

std::string event_lines(const FilterScript& script) {
    std::string text;
    for (const FilterEvent& event : script.events)
        text += shortest_decimal(event.time) + '\t' + kind_name(event.kind) + '\n';
    text += "End\t" + shortest_decimal(script.film_end) + '\n';
    return text;
}

std::string script_text(const ImportedRanges& imported, std::string_view comment) {
    std::vector<NotedSpan> mutes;
    std::vector<NotedSpan> covers;
    for (size_t i = 0; i < imported.ranges.size(); ++i) {
        const SourceRange& range = imported.ranges[i];
        NotedSpan span{{start_ms(range.start), end_ms(range.end)}, &range, i};
        if (span.span.end <= span.span.start)
            continue;
        if (range.mute)
            mutes.push_back(span);
        if (range.cover)
            covers.push_back(span);
    }
    // Touching ranges may stay apart: the loader accepts a range that starts as the last one ends.
    merge_noted(mutes);
    merge_noted(covers);

    std::vector<ScriptLine> lines;
    std::vector<bool> cover_taken(covers.size(), false);
    for (const NotedSpan& mute : mutes) {
        auto same =
            std::lower_bound(covers.begin(), covers.end(), mute.span.start,
                             [](const NotedSpan& cover, std::int64_t start) { return cover.span.start < start; });
        if (same != covers.end() && same->span.start == mute.span.start && same->span.end == mute.span.end) {
            cover_taken[same - covers.begin()] = true;
            lines.push_back({mute.span, RangeKind::Combined, noted_of(mute, *same).source->note});
        } else {
            lines.push_back({mute.span, RangeKind::Mute, mute.source->note});
        }
    }
    for (size_t i = 0; i < covers.size(); ++i) {
        if (!cover_taken[i])
            lines.push_back({covers[i].span, RangeKind::Cover, covers[i].source->note});
    }
    std::sort(lines.begin(), lines.end(), [](const ScriptLine& a, const ScriptLine& b) {
        return std::tie(a.span.start, a.span.end, a.kind) < std::tie(b.span.start, b.span.end, b.kind);
    });

    std::string text = "# " + std::string(comment) + "\n";
    for (const ScriptLine& line : lines) {
        std::string note = note_text(line.note);
        text += range_line(line.kind, static_cast<double>(line.span.start) / 1000.0,
                           static_cast<double>(line.span.end) / 1000.0) +
                (note.empty() ? "" : ", " + note) + "\n";
    }
    if (imported.has_film_end)
        text += "End, " + exact_time_text_ms(end_ms(imported.film_end)) + "\n";
    return text;
}

std::vector<NotedRange> noted_ranges(std::string_view text, std::vector<std::string>& warnings) {
    if (text.starts_with(UTF8_BOM))
        text.remove_prefix(UTF8_BOM.size());
    std::vector<NotedRange> ranges;
    for (size_t start = 0; start < text.size();) {
        size_t end = std::min(text.find('\n', start), text.size());
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ScriptLineRead read = read_script_line_as_loaded(line);
        Span span{};
        if (!read.error && read.kind && exportable_span(read.start, read.end, span, warnings)) {
            std::string_view note = after_range_times(line);
            ranges.push_back({span, *read.kind, note_text(note.empty() ? note : note.substr(1))});
        }
    }
    std::stable_sort(ranges.begin(), ranges.end(),
                     [](const NotedRange& a, const NotedRange& b) { return a.span.start < b.span.start; });
    return ranges;
}

}  // namespace dvbk
