#include "script/range_recorder.h"

#include <algorithm>

#include "script/film_time.h"

namespace dvbk {
namespace {

const char* kind_name(RangeKind kind) {
    switch (kind) {
        case RangeKind::Mute:
            return "mute";
        case RangeKind::Cover:
            return "cover";
        case RangeKind::Combined:
            return "mute and cover";
    }
    return "";
}

// "a", "a and b", "a, b and c".
std::string joined(const std::vector<std::string>& items) {
    std::string text;
    for (size_t i = 0; i < items.size(); ++i)
        text += (i == 0 ? "" : i + 1 == items.size() ? " and " : ", ") + items[i];
    return text;
}

}  // namespace

RecordStep RangeRecorder::mark(RangeKind kind, double position, double lead, std::string_view file_text) {
    std::optional<double>& open = open_[static_cast<size_t>(kind)];
    RecordStep step;
    if (!open) {
        open = std::max(0.0, position - lead);
        presses_.push_back(Press{kind, *open, std::nullopt, {}});
    } else {
        RecordedRange range{kind, *open, position};
        ScriptEdit edit = add_range(file_text, range);
        if (!edit.ok) {
            // The open range stays open: a later press may still end it where it can go.
            return RecordStep{std::nullopt,
                              "Recording: " + std::string(kind_name(kind)) + " range not written, " + edit.reason};
        }
        presses_.push_back(Press{kind, *open, std::string(file_text), edit.text});
        open.reset();
        step.write = std::move(edit.text);
        step.status = edit.written.empty() ? "Recording: nothing to write, a combined range has it all"
                                           : "Recording: wrote " + joined(edit.written);
    }
    if (presses_.size() > MAX_UNDO)
        presses_.erase(presses_.begin());
    step.status = step.status.empty() ? status() : step.status + "; " + open_ranges();
    return step;
}

RecordStep RangeRecorder::undo(std::string_view file_text) {
    if (presses_.empty())
        return RecordStep{std::nullopt, "Recording: nothing to take back; " + open_ranges()};
    Press press = std::move(presses_.back());
    presses_.pop_back();
    if (press.text_before && file_text != press.text_written)
        return RecordStep{std::nullopt, "Recording: edited since, the range stays; " + open_ranges()};
    std::optional<double>& open = open_[static_cast<size_t>(press.kind)];
    RecordStep step;
    if (press.text_before) {
        open = press.opened_at;
        step.write = std::move(press.text_before);
    } else {
        open.reset();
    }
    step.status = "Recording: took back the last press; " + open_ranges();
    return step;
}

std::string RangeRecorder::status() const {
    return "Recording: " + open_ranges();
}

std::string RangeRecorder::open_ranges() const {
    std::string text;
    for (RangeKind kind : {RangeKind::Mute, RangeKind::Cover, RangeKind::Combined}) {
        if (const std::optional<double>& open = open_[static_cast<size_t>(kind)]) {
            text += text.empty() ? "" : ", ";
            text += std::string(kind_name(kind)) + " range open since " + rounded_time_text(*open);
        }
    }
    return text.empty() ? "no range open" : text;
}

void RangeRecorder::reset() {
    open_ = {};
    presses_.clear();
}

}  // namespace dvbk
