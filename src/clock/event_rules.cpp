#include "clock/event_rules.h"

#include <algorithm>
#include <cmath>

namespace dvbk {

void apply_event(EventKind kind, bool& covered, bool& muted) {
    switch (kind) {
        case EventKind::CoverStart:
            covered = true;
            break;
        case EventKind::CoverEnd:
            covered = false;
            break;
        case EventKind::MuteStart:
            muted = true;
            break;
        case EventKind::MuteEnd:
            muted = false;
            break;
        case EventKind::BothStart:
            covered = true;
            muted = true;
            break;
    }
}

size_t first_event_after(const std::vector<FilterEvent>& events, double position) {
    size_t index = 0;
    while (index < events.size() && !(events[index].time > position))
        ++index;
    return index;
}

bool mute_due_within(const std::vector<FilterEvent>& events, size_t next_event, double position, double lead) {
    for (size_t i = next_event; i < events.size() && events[i].time <= position + lead; ++i) {
        if (events[i].kind == EventKind::MuteStart || events[i].kind == EventKind::BothStart)
            return true;
    }
    return false;
}

InForce in_force_at(const std::vector<FilterEvent>& events, double position) {
    InForce state;
    size_t next = first_event_after(events, position);
    for (size_t i = 0; i < next; ++i)
        apply_event(events[i].kind, state.covered, state.muted);
    return state;
}

EventTimerPlan plan_event_timer(const std::vector<FilterEvent>& events, size_t next_event, double position, bool paused,
                                double rate) {
    if (paused || !(rate > 0.0) || next_event >= events.size())
        return {};
    double wait = (events[next_event].time - position) / rate;
    EventTimerPlan plan;
    plan.armed = true;
    plan.fine = wait <= 2.0 * FINE_TIMER_LEAD;
    if (!plan.fine)
        wait -= FINE_TIMER_LEAD;
    double milliseconds = std::ceil(std::max(wait, 0.0) * 1000.0) + 1.0;
    plan.milliseconds = static_cast<unsigned>(std::min(milliseconds, 3600000.0));
    return plan;
}

}  // namespace dvbk
