#include "cli/ranges.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <tuple>

#include "script/film_time.h"

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
};

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
    std::vector<Span> mutes;
    std::vector<Span> covers;
    for (const SourceRange& range : imported.ranges) {
        Span span{start_ms(range.start), end_ms(range.end)};
        if (span.end <= span.start)
            continue;
        if (range.mute)
            mutes.push_back(span);
        if (range.cover)
            covers.push_back(span);
    }
    // Touching ranges may stay apart: the loader accepts a range that starts as the last one ends.
    merge_spans(mutes, false);
    merge_spans(covers, false);

    std::vector<ScriptLine> lines;
    std::vector<bool> cover_taken(covers.size(), false);
    for (const Span& mute : mutes) {
        auto same = std::lower_bound(covers.begin(), covers.end(), mute.start,
                                     [](const Span& cover, std::int64_t start) { return cover.start < start; });
        if (same != covers.end() && same->start == mute.start && same->end == mute.end) {
            cover_taken[same - covers.begin()] = true;
            lines.push_back({mute, RangeKind::Combined});
        } else {
            lines.push_back({mute, RangeKind::Mute});
        }
    }
    for (size_t i = 0; i < covers.size(); ++i) {
        if (!cover_taken[i])
            lines.push_back({covers[i], RangeKind::Cover});
    }
    std::sort(lines.begin(), lines.end(), [](const ScriptLine& a, const ScriptLine& b) {
        return std::tie(a.span.start, a.span.end, a.kind) < std::tie(b.span.start, b.span.end, b.kind);
    });

    std::string text = "# " + std::string(comment) + "\n";
    for (const ScriptLine& line : lines) {
        text += range_line(line.kind, static_cast<double>(line.span.start) / 1000.0,
                           static_cast<double>(line.span.end) / 1000.0) +
                "\n";
    }
    if (imported.has_film_end)
        text += "End, " + exact_time_text_ms(end_ms(imported.film_end)) + "\n";
    return text;
}

}  // namespace dvbk
