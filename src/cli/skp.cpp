#include "cli/skp.h"

#include <algorithm>
#include <cstdint>

#include "cli/input_lines.h"
#include "cli/labels.h"
#include "script/film_time.h"
#include "text/c_locale.h"

namespace dvbk {
namespace {

class SkpReader {
public:
    SkpReader(const std::string& name, const SkpOptions& options, ImportedRanges& imported,
              std::vector<std::string>& warnings)
        : name_(name), options_(options), imported_(imported), warnings_(warnings) {}

    void block(const LineBlock& block) {
        const std::vector<std::string>& lines = block.lines;
        std::int64_t label_number = block.first_line + 1;
        double start = 0.0;
        double end = 0.0;
        if (!read_cue_timing(lines[0], start, end)) {
            warn(block.first_line, "block skipped, bad timing line", lines[0]);
            return;
        }
        if (const char* fault = range_fault(start, end)) {
            warn(block.first_line, std::string("block skipped, ") + fault, lines[0]);
            return;
        }
        if (lines.size() < 2) {
            warn(block.first_line, "block skipped, it has no label line", lines[0]);
            return;
        }
        ContentLabel label;
        std::string problem;
        if (!read_label(lines[1], label, problem)) {
            warn(label_number, "block skipped, " + problem, lines[1]);
            return;
        }
        for (size_t i = 2; i < lines.size(); ++i)
            warn(label_number + static_cast<std::int64_t>(i) - 1, "ignored, a line after the label", lines[i]);
        if (!seen(label.category))
            seen_categories_.push_back(label.category);

        if (!options_.categories.empty() &&
            std::none_of(options_.categories.begin(), options_.categories.end(),
                         [&](const std::string& category) { return same_skp_category(label.category, category); })) {
            ++imported_.left_out_category;
            return;
        }
        if (label.rating <= options_.max_rating) {
            ++imported_.left_out_severity;
            return;
        }
        bool mute = !equals_ignoring_case(label.handling, "image");
        bool cover = !equals_ignoring_case(label.handling, "word");
        for (const std::string& word : label.unknown) {
            // Another word where the handling goes: the whole range is skipped, which hides most.
            warn(label_number,
                 label.handling.empty() ? "unknown handling '" + quote_line(word) + "', the picture and the sound go"
                                        : "ignored, unknown word '" + quote_line(word) + "'",
                 lines[1]);
        }
        imported_.ranges.push_back({start, end, mute, cover, label_note(label), label.rating});
    }

    void finish() {
        for (const std::string& category : options_.categories) {
            if (!seen(category))
                warnings_.push_back("no cue has the category '" + quote_line(category) + "'");
        }
    }

private:
    bool seen(std::string_view category) const {
        return std::any_of(seen_categories_.begin(), seen_categories_.end(),
                           [&](const std::string& known) { return same_skp_category(known, category); });
    }

    void warn(std::int64_t number, const std::string& message, std::string_view line) {
        warnings_.push_back(at_line(name_, number) + message + ": " + quote_line(line));
    }

    const std::string& name_;
    const SkpOptions& options_;
    ImportedRanges& imported_;
    std::vector<std::string>& warnings_;
    std::vector<std::string> seen_categories_;
};

}  // namespace

bool read_skp(std::istream& in, const std::string& name, const SkpOptions& options, ImportedRanges& imported,
              std::vector<std::string>& warnings, std::string& error) {
    LineReader lines(in);
    LineBlock block;
    SkpReader reader(name, options, imported, warnings);
    // The first block gives the screenshot's time and description (and perhaps the picture):
    // nothing a script holds. A file may also start with its first range.
    if (next_block(lines, block) && block.lines[0].find("-->") == std::string::npos) {
        std::vector<std::string_view> fields = split_blanks(block.lines[0]);
        double time = 0.0;
        if (fields.empty() || !read_clock_time(fields[0], time)) {
            error = at_line(name, block.first_line) +
                    "not a skip file: it must start with a screenshot's time or a range: " + quote_line(block.lines[0]);
            return false;
        }
    } else if (!block.lines.empty()) {
        reader.block(block);
    }
    while (next_block(lines, block))
        reader.block(block);
    reader.finish();
    return true;
}

std::string skp_text(const std::vector<NotedRange>& ranges) {
    std::string text = exact_time_text_ms(ranges.empty() ? 0 : ranges.front().span.start) +
                       "\nNo screenshot was taken: made by DunvelBlenk from a filter script\n";
    for (const NotedRange& range : ranges) {
        // Built up in steps: GCC 12 warns of an overlapping copy in the one expression.
        std::string timing = "\n";
        timing += exact_time_text_ms(range.span.start);
        timing += " --> ";
        timing += exact_time_text_ms(range.span.end);
        timing += "\n";
        const char* handling = range.kind == RangeKind::Mute ? " word" : range.kind == RangeKind::Cover ? " image" : "";
        std::vector<ContentLabel> labels;
        if (!read_note_labels(range.note, labels)) {
            text += timing + "other" + handling + " 3" + (range.note.empty() ? "" : " (" + range.note + ")") + "\n";
            continue;
        }
        // One block per label: they read back as one range.
        for (const ContentLabel& label : labels) {
            text += timing + skp_category(label) + handling + " " + std::to_string(label.rating) +
                    (label.text.empty() ? "" : " (" + label.text + ")") + "\n";
        }
    }
    return text;
}

}  // namespace dvbk
