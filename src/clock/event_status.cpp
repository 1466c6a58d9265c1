#include "clock/event_status.h"

#include <cmath>
#include <cstdio>

#include "clock/event_rules.h"
#include "script/film_time.h"

namespace dvbk {

std::string action_name(bool covered, bool muted) {
    if (covered)
        return muted ? "DunvelBlenk" : "Blenk";
    return muted ? "Dunvel" : "Normal";
}

StatusTexts compose_status(double position, const std::vector<FilterEvent>& events, size_t next_event, bool covered,
                           bool muted, double film_end) {
    StatusTexts texts;
    std::string elapsed = rounded_time_text(std::round(position));
    texts.elapsed_text = "Elapsed Time: " + elapsed;
    // The sign goes in front of the whole time; the title leaves it out.
    std::string remaining = rounded_time_text(std::fabs(std::round(film_end - position)));
    texts.remaining_text = std::string("Remaining Time: ") + (position > film_end ? "-" : "") + remaining;
    texts.title = "DVBK T: " + elapsed + " R: " + remaining;

    texts.next_action_text = "Next Action: ";
    if (next_event >= events.size()) {
        texts.next_action_text += "None";
        return texts;
    }
    // What the state will be once every event at that same instant has been carried out.
    double next_time = events[next_event].time;
    for (size_t i = next_event; i < events.size() && events[i].time == next_time; ++i)
        apply_event(events[i].kind, covered, muted);
    texts.next_action_text += action_name(covered, muted) + " in " + rounded_time_text(next_time - position);
    return texts;
}

std::string cursor_text(double x, double y, double screen_width, double screen_height) {
    char text[96];
    std::snprintf(text, sizeof text, "Cursor position: (%.3f, %.3f)", x / screen_width, y / screen_height);
    return text;
}

}  // namespace dvbk
