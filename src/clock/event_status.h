// What the status lines, the window title and the action line say, from the clock's position,
// the event list and what the program has done.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "script/filter_script.h"

namespace dvbk {

// "DunvelBlenk", "Blenk", "Dunvel" or "Normal".
std::string action_name(bool covered, bool muted);

struct StatusTexts {
    std::string elapsed_text;
    std::string remaining_text;
    std::string next_action_text;
    std::string title;
};

StatusTexts compose_status(double position, const std::vector<FilterEvent>& events, size_t next_event, bool covered,
                           bool muted, double film_end);

// "Cursor position: (0.986, 0.949)": the pointer as fractions of the screen, as the click settings use.
std::string cursor_text(double x, double y, double screen_width, double screen_height);

}  // namespace dvbk
