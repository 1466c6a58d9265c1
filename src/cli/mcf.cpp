#include "cli/mcf.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "cli/input_lines.h"
#include "cli/labels.h"
#include "script/filter_script.h"
#include "text/c_locale.h"

namespace dvbk {
namespace {

// The format's own description names it without blanks; files written after an older wording
// have them.
constexpr std::string_view HEADER_PREFIX = "WEBVTT MovieContentFilter ";
constexpr std::string_view SPACED_HEADER_PREFIX = "WEBVTT Movie Content Filter ";

// Version 1 files; a later major version may change what the lines mean.
bool header_ok(std::string_view line) {
    for (std::string_view prefix : {HEADER_PREFIX, SPACED_HEADER_PREFIX}) {
        if (line.starts_with(prefix)) {
            std::vector<std::string_view> version = split_blanks(line.substr(prefix.size()));
            return !version.empty() && (version[0] == "1" || version[0].starts_with("1."));
        }
    }
    return false;
}

struct Cue {
    double start = 0.0;
    double end = 0.0;
    bool mute = false;
    bool cover = false;
    std::int64_t line = 0;
    std::string note;  // its kept lines' labels
    int severity = 0;  // the most severe of them
    // Why lines were left out, for the count of cues left out.
    bool other_category = false;
    bool too_mild = false;
};

// "01:02:03.450", the cue time WebVTT readers take.
std::string cue_time(std::int64_t ms) {
    char text[40];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld.%03lld", static_cast<long long>(ms / 3600000),
                  static_cast<long long>(ms / 60000 % 60), static_cast<long long>(ms / 1000 % 60),
                  static_cast<long long>(ms % 1000));
    return text;
}

class McfReader {
public:
    McfReader(const std::string& name, const McfOptions& options, std::vector<std::string>& warnings)
        : name_(name), options_(options), warnings_(warnings) {}

    void block(const std::vector<std::string>& lines, std::int64_t first_line) {
        std::vector<std::string_view> first = split_blanks(lines[0]);
        if (!first.empty() && first[0] == "NOTE")
            note(lines, first_line);
        else
            cue(lines, first_line);
    }

    bool finish(ImportedRanges& imported, std::string& error) {
        if (options_.sync && (!has_start_ || !has_end_)) {
            error = quote_line(name_) + ": --sync needs the START and END lines of the file's NOTE block";
            return false;
        }
        if (options_.sync && end_ <= start_) {
            error = quote_line(name_) + ": --sync needs the file's END after its START";
            return false;
        }
        for (const Cue& cue : cues_) {
            double start = moved(cue.start);
            double end = moved(cue.end);
            if (end <= 0.0) {
                warnings_.push_back(at_line(name_, cue.line) +
                                    "cue skipped, it ends before the film starts once --sync moves it");
                continue;
            }
            if (start_ms(start) >= MAX_FILM_MS) {
                warnings_.push_back(at_line(name_, cue.line) + "cue skipped, it starts later than a script can hold");
                continue;
            }
            imported.ranges.push_back({std::max(start, 0.0), end, cue.mute, cue.cover, cue.note, cue.severity});
        }
        imported.left_out_category += left_out_category_;
        imported.left_out_severity += left_out_severity_;
        if (has_end_) {
            imported.has_film_end = true;
            imported.film_end = moved(end_);
        }
        for (const std::string& category : options_.only) {
            if (!seen(category))
                warnings_.push_back("no cue has the category '" + quote_line(category) + "'");
        }
        return true;
    }

private:
    bool seen(std::string_view category) const {
        return std::any_of(seen_categories_.begin(), seen_categories_.end(),
                           [&](const std::string& known) { return equals_ignoring_case(known, category); });
    }

    void warn(std::int64_t number, const std::string& message, std::string_view line) {
        warnings_.push_back(at_line(name_, number) + message + ": " + quote_line(line));
    }

    // Stretches the file's START..END onto the user's copy; without --sync times stay as written.
    double moved(double time) const {
        if (!options_.sync)
            return time;
        double scale = (options_.sync_end - options_.sync_start) / (end_ - start_);
        return options_.sync_start + (time - start_) * scale;
    }

    void note(const std::vector<std::string>& lines, std::int64_t first_line) {
        for (size_t i = 0; i < lines.size(); ++i) {
            std::vector<std::string_view> fields = split_blanks(lines[i]);
            if (i == 0)
                fields.erase(fields.begin());
            if (fields.empty() || (fields[0] != "START" && fields[0] != "END"))
                continue;
            bool is_start = fields[0] == "START";
            bool& known = is_start ? has_start_ : has_end_;
            double& time = is_start ? start_ : end_;
            std::int64_t number = first_line + static_cast<std::int64_t>(i);
            if (known)
                warn(number, "ignored, given before", lines[i]);
            else if (fields.size() < 2 || !read_clock_time(fields[1], time))
                warn(number, "ignored, no time that can be read", lines[i]);
            else
                known = true;
        }
    }

    void cue(const std::vector<std::string>& lines, std::int64_t first_line) {
        // A cue may carry an identifier line before its timing line.
        size_t timing = 0;
        if (lines[0].find("-->") == std::string::npos) {
            if (lines.size() < 2 || lines[1].find("-->") == std::string::npos) {
                warn(first_line, "skipped, a block without a cue timing line", lines[0]);
                return;
            }
            timing = 1;
        }
        std::int64_t timing_number = first_line + static_cast<std::int64_t>(timing);
        const std::string& timing_line = lines[timing];
        Cue cue;
        cue.line = timing_number;
        if (!read_cue_timing(timing_line, cue.start, cue.end)) {
            warn(timing_number, "cue skipped, bad timing line", timing_line);
            return;
        }
        if (timing + 1 == lines.size()) {
            warn(timing_number, "cue skipped, it has no category line", timing_line);
            return;
        }
        for (size_t i = timing + 1; i < lines.size(); ++i)
            content(lines[i], first_line + static_cast<std::int64_t>(i), cue);
        if (!cue.mute && !cue.cover) {
            if (cue.too_mild)
                ++left_out_severity_;
            else if (cue.other_category)
                ++left_out_category_;
            return;
        }
        if (cue.end < cue.start)
            warn(timing_number, "cue skipped, the end is before the start", timing_line);
        else if (end_ms(cue.end) <= start_ms(cue.start))
            warn(timing_number, "cue skipped, empty range", timing_line);
        else
            cues_.push_back(cue);
    }

    // One "category=severity[=channel]" line, perhaps with a comment after it; those the options
    // keep add their channel and their label to the cue.
    void content(std::string_view line, std::int64_t number, Cue& cue) {
        std::vector<std::string_view> words = split_blanks(line);
        std::vector<std::string_view> parts;
        if (!words.empty()) {
            for (size_t pos = 0;;) {
                size_t equals = words[0].find('=', pos);
                parts.push_back(words[0].substr(pos, equals == std::string_view::npos ? equals : equals - pos));
                if (equals == std::string_view::npos)
                    break;
                pos = equals + 1;
            }
        }
        if (parts.size() < 2 || parts.size() > 3 || parts[0].empty()) {
            warn(number, "ignored, not category=severity=channel", line);
            return;
        }
        Severity severity = Severity::Low;
        if (!read_severity(parts[1], severity)) {
            warn(number, "ignored, unknown severity '" + quote_line(parts[1]) + "'", line);
            return;
        }
        bool audio = true;
        bool video = true;
        if (parts.size() == 3) {
            audio = equals_ignoring_case(parts[2], "audio") || equals_ignoring_case(parts[2], "both");
            video = equals_ignoring_case(parts[2], "video") || equals_ignoring_case(parts[2], "both");
            if (!audio && !video) {
                warn(number, "ignored, unknown channel '" + quote_line(parts[2]) + "'", line);
                return;
            }
        }
        if (!seen(parts[0]))
            seen_categories_.emplace_back(parts[0]);
        if (!options_.only.empty() &&
            std::none_of(options_.only.begin(), options_.only.end(),
                         [&](const std::string& category) { return equals_ignoring_case(parts[0], category); })) {
            cue.other_category = true;
            return;
        }
        if (severity < options_.min_severity || (options_.max_severity && severity <= *options_.max_severity)) {
            cue.too_mild = true;
            return;
        }
        cue.mute = cue.mute || audio;
        cue.cover = cue.cover || video;
        ContentLabel label;
        label.category = parts[0];
        label.rating = static_cast<int>(severity) + MIN_RATING;
        label.rating_text = parts[1];
        const char* after_label = words[0].data() + words[0].size();
        label.text = trim_blanks(line.substr(static_cast<size_t>(after_label - line.data())));
        cue.note += (cue.note.empty() ? "" : ", ") + label_note(label);
        cue.severity = std::max(cue.severity, label.rating);
    }

    const std::string& name_;
    const McfOptions& options_;
    std::vector<std::string>& warnings_;
    std::vector<Cue> cues_;
    // Each category once, in any letter case; a film's file names a handful.
    std::vector<std::string> seen_categories_;
    std::size_t left_out_category_ = 0;
    std::size_t left_out_severity_ = 0;
    bool has_start_ = false;
    bool has_end_ = false;
    double start_ = 0.0;
    double end_ = 0.0;
};

}  // namespace

bool read_severity(std::string_view text, Severity& severity) {
    int rating = severity_rating(text);
    if (rating == 0)
        return false;
    severity = static_cast<Severity>(rating - MIN_RATING);
    return true;
}

bool read_mcf(std::istream& in, const std::string& name, const McfOptions& options, ImportedRanges& imported,
              std::vector<std::string>& warnings, std::string& error) {
    LineReader lines(in);
    LineBlock block;
    // The header is the first line; the rest of its block is the file's own header text.
    if (!next_block(lines, block) || block.first_line != 1 || !header_ok(block.lines[0])) {
        error = quote_line(name) +
                ": not a Movie Content Filter file: the first line must be 'WEBVTT MovieContentFilter 1.x.x'";
        return false;
    }
    McfReader reader(name, options, warnings);
    while (next_block(lines, block))
        reader.block(block.lines, block.first_line);
    return reader.finish(imported, error);
}

std::string mcf_text(const std::vector<NotedRange>& ranges, double film_end) {
    std::int64_t end = 0;
    if (film_end > 0.0) {
        end = end_ms(film_end);
    } else {
        for (const NotedRange& range : ranges)
            end = std::max(end, range.span.end);
    }
    std::string text =
        std::string(HEADER_PREFIX) + "1.0.0\n\nNOTE\nSTART " + cue_time(0) + "\nEND " + cue_time(end) + "\n";
    for (const NotedRange& range : ranges) {
        const char* channel = range.kind == RangeKind::Mute    ? "audio"
                              : range.kind == RangeKind::Cover ? "video"
                                                               : "both";
        text += "\n" + cue_time(range.span.start) + " --> " + cue_time(range.span.end) + "\n";
        std::vector<ContentLabel> labels;
        // A category with "=" in it would not read back as one.
        bool labelled = read_note_labels(range.note, labels) &&
                        std::none_of(labels.begin(), labels.end(), [](const ContentLabel& label) {
                            return mcf_category(label).find('=') != std::string::npos;
                        });
        if (!labelled) {
            text += std::string("dispensable=high=") + channel + (range.note.empty() ? "" : "  " + range.note) + "\n";
            continue;
        }
        for (const ContentLabel& label : labels) {
            text += mcf_category(label) + "=" + severity_name(label.rating) + "=" + channel +
                    (label.text.empty() ? "" : "  " + label.text) + "\n";
        }
    }
    return text;
}

}  // namespace dvbk
