#include "cli/edl.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "cli/input_lines.h"
#include "script/film_time.h"
#include "text/c_locale.h"

namespace dvbk {
namespace {

constexpr int ACTION_SKIP = 0;
constexpr int ACTION_MUTE = 1;
constexpr int ACTION_SCENE = 2;
constexpr int ACTION_COMMERCIAL = 3;

constexpr const char* NO_COVER_REASON = "an EDL cannot hide the picture and keep the sound";

struct Entry {
    Span span;
    int action;
};

// Splits the mutes around the skips, which hide the sound as well. Players reject ranges that
// touch, so a mute that meets a skip gives up one millisecond there.
std::vector<Span> mutes_between_skips(const std::vector<Span>& mutes, const std::vector<Span>& skips,
                                      std::vector<std::string>& warnings) {
    std::vector<Span> pieces;
    size_t first = 0;
    for (const Span& mute : mutes) {
        while (first < skips.size() && skips[first].end < mute.start)
            ++first;
        std::int64_t pos = mute.start;
        for (size_t i = first; i < skips.size() && skips[i].start <= mute.end; ++i) {
            if (skips[i].start > pos)
                pieces.push_back({pos, skips[i].start});
            pos = std::max(pos, skips[i].end);
        }
        if (pos < mute.end)
            pieces.push_back({pos, mute.end});
    }

    // Skips are sorted and apart, so their starts and their ends are both in order.
    std::vector<std::int64_t> skip_starts;
    std::vector<std::int64_t> skip_ends;
    for (const Span& skip : skips) {
        skip_starts.push_back(skip.start);
        skip_ends.push_back(skip.end);
    }
    std::vector<Span> kept;
    for (Span piece : pieces) {
        Span apart = piece;
        if (std::binary_search(skip_ends.begin(), skip_ends.end(), piece.start))
            ++apart.start;
        if (std::binary_search(skip_starts.begin(), skip_starts.end(), piece.end))
            --apart.end;
        if (apart.start >= apart.end) {
            warnings.push_back(range_text("mute", piece.start, piece.end) +
                               " is left out: it has no room between skips, and players reject touching ranges");
            continue;
        }
        if (apart.end - apart.start != piece.end - piece.start) {
            warnings.push_back(range_text("mute", piece.start, piece.end) + " is shortened by " +
                               std::to_string((piece.end - piece.start) - (apart.end - apart.start)) +
                               " ms where it meets a skip: players reject touching ranges");
        }
        kept.push_back(apart);
    }
    return kept;
}

enum class TimeRead { Ok, Bad, NeedsFps };

TimeRead read_edl_time(std::string_view text, const EdlOptions& options, double& seconds) {
    if (options.dialect == EdlDialect::MPlayer)
        return read_decimal(text, seconds) ? TimeRead::Ok : TimeRead::Bad;
    if (text.starts_with('#')) {
        double frame = 0.0;
        std::string_view digits = text.substr(1);
        if (digits.empty() || !all_digits(digits) || !read_decimal(digits, frame))
            return TimeRead::Bad;
        if (options.fps <= 0.0)
            return TimeRead::NeedsFps;
        seconds = frame / options.fps;
        return TimeRead::Ok;
    }
    return read_clock_time(text, seconds) ? TimeRead::Ok : TimeRead::Bad;
}

// Reads one EDL line. Returns false for a line that stops the whole file.
class EdlReader {
public:
    EdlReader(const std::string& name, const EdlOptions& options, ImportedRanges& imported,
              std::vector<std::string>& warnings)
        : name_(name), options_(options), imported_(imported), warnings_(warnings) {}

    bool line(std::string_view text, std::int64_t number, std::string& error) {
        number_ = number;
        text_ = text;
        std::vector<std::string_view> fields = split_blanks(text);
        if (fields.empty() || fields[0].starts_with("##"))
            return true;
        bool kodi = options_.dialect == EdlDialect::Kodi;
        // MPlayer drops every line that is not three numbers, so its users write "#" comments.
        if (!kodi && fields[0].starts_with('#'))
            return true;

        if (kodi && fields.size() == 2 && fields[1] == "2") {
            double time = 0.0;
            if (!read_time(fields[0], time, error))
                return error.empty();
            warn("scene marker dropped");
            return true;
        }
        if (fields.size() < 3 || (!kodi && fields.size() > 3)) {
            warn("skipped, not START END ACTION");
            return true;
        }
        double start = 0.0;
        double end = 0.0;
        if (!read_time(fields[0], start, error) || !read_time(fields[1], end, error))
            return error.empty();
        std::int64_t action = 0;
        bool known = read_whole(fields[2], action) &&
                     (action == ACTION_SKIP || action == ACTION_MUTE || (kodi && action == ACTION_SCENE) ||
                      (kodi && action == ACTION_COMMERCIAL));
        if (!known) {
            warn("skipped, unknown action '" + quote_line(fields[2]) + "'");
            return true;
        }
        if (action == ACTION_SCENE) {
            warn("scene marker dropped");
            return true;
        }
        add(start, end, action == ACTION_MUTE);
        return true;
    }

private:
    void warn(const std::string& message) {
        warnings_.push_back(at_line(name_, number_) + message + ": " + quote_line(text_));
    }

    // False for a bad time (warned) or, with `error` set, a frame number without a frame rate.
    bool read_time(std::string_view field, double& seconds, std::string& error) {
        switch (read_edl_time(field, options_, seconds)) {
            case TimeRead::Ok:
                return true;
            case TimeRead::NeedsFps:
                error = at_line(name_, number_) + "frame number '" + quote_line(field) +
                        "' needs --fps, the film's frames per second";
                return false;
            case TimeRead::Bad:
                break;
        }
        warn("skipped, bad time '" + quote_line(field) + "'");
        return false;
    }

    void add(double start, double end, bool mute_only) {
        if (const char* fault = range_fault(start, end)) {
            warn(std::string("skipped, ") + fault);
            return;
        }
        // The players take the lines in order and reject any that reaches back into the one before;
        // the script keeps such a range, joined with what it overlaps.
        if (has_previous_) {
            if (start < previous_start_)
                warn("kept, but players may reject it: it starts before the range above");
            else if (start < previous_end_)
                warn("kept, but players may reject it: it overlaps the range above");
            else if (start == previous_end_)
                warn("kept, but players may reject it: it touches the range above");
        }
        has_previous_ = true;
        previous_start_ = start;
        previous_end_ = end;
        imported_.ranges.push_back({start, end, true, !mute_only});
    }

    const std::string& name_;
    const EdlOptions& options_;
    ImportedRanges& imported_;
    std::vector<std::string>& warnings_;
    std::int64_t number_ = 0;
    std::string_view text_;
    bool has_previous_ = false;
    double previous_start_ = 0.0;
    double previous_end_ = 0.0;
};

}  // namespace

bool read_edl(std::istream& in, const std::string& name, const EdlOptions& options, ImportedRanges& imported,
              std::vector<std::string>& warnings, std::string& error) {
    EdlReader reader(name, options, imported, warnings);
    LineReader lines(in);
    std::string line;
    while (lines.next(line)) {
        if (!reader.line(line, lines.number(), error))
            return false;
    }
    return true;
}

std::string edl_text(const FilterScript& script, CoverMode cover_mode, std::vector<std::string>& warnings) {
    std::vector<Span> skips;
    std::vector<Span> mutes;
    for (const ScriptRange& range : script_ranges(script)) {
        Span span{};
        if (!exportable_span(range.start, range.end, span, warnings))
            continue;
        switch (range.kind) {
            case RangeKind::Mute:
                mutes.push_back(span);
                break;
            case RangeKind::Cover:
                if (cover_mode == CoverMode::Skip) {
                    skips.push_back(span);
                    warnings.push_back(range_text("cover", span.start, span.end) +
                                       " becomes a skip: " + NO_COVER_REASON + " (--cover=drop leaves it out)");
                } else {
                    warnings.push_back(range_text("cover", span.start, span.end) + " is left out: " + NO_COVER_REASON);
                }
                break;
            case RangeKind::Combined:
                if (cover_mode == CoverMode::Skip) {
                    skips.push_back(span);
                } else {
                    mutes.push_back(span);
                    warnings.push_back(range_text("combined", span.start, span.end) +
                                       " keeps only its mute: " + NO_COVER_REASON);
                }
                break;
        }
    }
    if (script.film_end != 0.0) {
        warnings.push_back("the film's end (" + rounded_time_text(script.film_end) +
                           ") is left out: an EDL has no place for it");
    }
    merge_spans(skips, true);
    merge_spans(mutes, true);

    std::vector<Entry> entries;
    for (const Span& skip : skips)
        entries.push_back({skip, ACTION_SKIP});
    for (const Span& mute : mutes_between_skips(mutes, skips, warnings))
        entries.push_back({mute, ACTION_MUTE});
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.span.start < b.span.start; });

    std::string text;
    for (const Entry& entry : entries) {
        char line[80];
        std::snprintf(line, sizeof line, "%.3f %.3f %d\n", static_cast<double>(entry.span.start) / 1000.0,
                      static_cast<double>(entry.span.end) / 1000.0, entry.action);
        text += line;
    }
    return text;
}

}  // namespace dvbk
