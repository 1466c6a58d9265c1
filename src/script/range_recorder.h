// Recording ranges while watching: one key per kind of range, pressed once where the range starts
// and again where it ends, and one key that takes the last press back.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "script/script_edit.h"

namespace dvbk {

// What a press comes to: a new text for the script's file when a range was written or an undo
// gave the file back, and the status line either way.
struct RecordStep {
    std::optional<std::string> write;
    std::string status;
};

class RangeRecorder {
public:
    // How many presses can be taken back.
    static constexpr size_t MAX_UNDO = 50;

    // The key for `kind` at clock `position`: opens a range `lead` seconds before it (not before
    // 0:00:00), or ends the open one there and writes it into `file_text`.
    RecordStep mark(RangeKind kind, double position, double lead, std::string_view file_text);

    // Takes the last press back: an opened range is no longer open; a written one is open again and
    // the file as it was before is given back, but only while the file, `file_text` now, is still
    // as that press left it: an editor's later changes are not thrown away with it.
    RecordStep undo(std::string_view file_text);

    // "Recording: mute range open since 0:41:12" (every open range named), or that none is open.
    std::string status() const;

    // Forgets every open range and press, as for another script.
    void reset();

private:
    // "mute range open since 0:41:12, cover range open since ...", or "no range open".
    std::string open_ranges() const;

    struct Press {
        RangeKind kind;
        double opened_at;
        // For a press that wrote a range: the file before, and as it was written.
        std::optional<std::string> text_before;
        std::string text_written;
    };

    std::array<std::optional<double>, 3> open_{};
    std::vector<Press> presses_;
};

}  // namespace dvbk
