#include "soak_check.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

namespace soak_log {
namespace {

// How many events lie before `t`, or at it too.
std::size_t count_before(const std::vector<dvbk::FilterEvent>& events, double t, bool or_at) {
    return or_at ? dvbk::first_event_after(events, t)
                 : static_cast<std::size_t>(
                       std::find_if(events.begin(), events.end(), [&](const auto& e) { return e.time >= t; }) -
                       events.begin());
}

}  // namespace

dvbk::InForce in_force_near(const std::vector<dvbk::FilterEvent>& events, double at, double margin) {
    dvbk::InForce state = dvbk::in_force_at(events, at - margin);
    dvbk::InForce any = state;
    for (std::size_t i = dvbk::first_event_after(events, at - margin);
         i < events.size() && events[i].time <= at + margin; ++i) {
        dvbk::apply_event(events[i].kind, state.covered, state.muted);
        any.covered = any.covered || state.covered;
        any.muted = any.muted || state.muted;
    }
    return any;
}

Verdict check_log(std::istream& log, const std::vector<dvbk::FilterEvent>& events, const std::vector<Segment>& segments,
                  const std::vector<Checkpoint>& checkpoints) {
    Verdict v;
    std::size_t segment = 0;
    std::size_t segment_first = 0;
    std::size_t next = 0;
    dvbk::InForce model;
    std::size_t last_required = 0, last_allowed = 0;
    auto close_segment = [&] {
        if (next < last_required)
            v.lost += static_cast<long>(last_required - next);
        v.expected += static_cast<long>(last_required > segment_first ? last_required - segment_first : 0);
        v.ambiguous += static_cast<long>(last_allowed - last_required);
    };
    for (std::string line; std::getline(log, line);) {
        unsigned long long index = 0;
        double time = 0.0;
        double clock = 0.0;
        const char* event_line = std::strstr(line.c_str(), "\"DunvelBlenk: event ");
        const char* mark_line = std::strstr(line.c_str(), "\"soak: ");
        if (event_line &&
            std::sscanf(event_line, "\"DunvelBlenk: event %llu at %lf s, clock %lf s", &index, &time, &clock) == 3) {
            ++v.carried;
            if (index >= events.size() || std::fabs(events[index].time - time) > 0.0006) {
                ++v.wrong_time;
                continue;
            }
            if (index != next && v.lost + v.twice + v.skipped_but_done < 10)
                std::printf("soak: event %llu (%.3f s, clock %.3f s) where %llu was next, after Set Time to %.3f s\n",
                            index, time, clock, static_cast<unsigned long long>(next), segments[segment].set_to);
            if (index == next)
                ++next;
            else if (index > next)
                v.lost += static_cast<long>(index - next), next = index + 1;
            else if (index >= segment_first)
                ++v.twice;
            else
                ++v.skipped_but_done;
            if (!(clock > time - 0.0005))
                ++v.early;
            bool jumped = false;
            for (auto [from, to] : segments[segment].jumps)
                jumped = jumped || (time >= from && time <= to);
            if (!jumped)
                v.lateness_ms.push_back((clock - time) * 1000.0);
            // Half a second is five beats of the wake timer: more is no longer a matter of timers.
            v.late += !jumped && clock - time > 0.5;
            dvbk::apply_event(events[index].kind, model.covered, model.muted);
        } else if (mark_line && std::sscanf(mark_line, "\"soak: settime %llu", &index) == 1) {
            close_segment();
            segment = index;
            std::size_t first = count_before(events, segments[segment].set_to, true);
            if (first != next)
                model = {};
            segment_first = next = first;
            last_required = last_allowed = first;
        } else if (mark_line && std::sscanf(mark_line, "\"soak: checkpoint %llu", &index) == 1) {
            const Checkpoint& c = checkpoints[index];
            last_required = std::max(segment_first, count_before(events, c.reach_low - 0.0015, false));
            last_allowed = std::max(segment_first, count_before(events, c.reach_high + 0.0015, false));
            ++v.checks;
            // Judged where the events are settled: not while one that may or may not be due is
            // left (within a millisecond and a half of the clock).
            if (next < last_required || next > last_allowed || last_required != last_allowed)
                continue;
            ++v.judged;
            bool cover_ok = model.covered ? c.covered : c.uncovered;
            bool mute_ok = model.muted == c.muted;
            if (!cover_ok || !mute_ok)
                ++v.state_wrong;
            dvbk::InForce close_by = in_force_near(events, c.position, 0.0015);
            if ((c.covered && !close_by.covered) || (c.muted && !close_by.muted))
                ++(cover_ok && mute_ok ? v.outside_on_by_nudge : v.outside_but_on);
        }
    }
    close_segment();
    return v;
}

}  // namespace soak_log
