#include "clock/playback_clock.h"

#include <algorithm>
#include <cmath>

namespace dvbk {
namespace {

TickSource tick_source = system_tick_count;

}  // namespace

void set_tick_source(TickSource source) {
    tick_source = source ? source : system_tick_count;
}

double clock_ticks() {
    return tick_source();
}

double clock_ticks_at(double system_tick) {
    if (tick_source == system_tick_count)
        return system_tick;
    return system_tick + (tick_source() - system_tick_count());
}

double film_seconds(const PlaybackClock& clock, double real_seconds) {
    // The order of operations is part of the clock's definition: readers compare positions taken
    // at different moments, so every reading must round the same way.
    return (3600.0 - bounded_clock_adj(clock.clock_adj)) * real_seconds / 3600.0 * clock.speed;
}

double bounded_clock_adj(double clock_adj) {
    if (!std::isfinite(clock_adj))
        return 0.0;
    return std::clamp(clock_adj, -MAX_CLOCK_ADJ, MAX_CLOCK_ADJ);
}

double raw_clock(const PlaybackClock& clock) {
    return film_seconds(clock, clock_ticks() / 1000.0);
}

double position(const PlaybackClock& clock) {
    return (clock.paused ? clock.frozen_clock : raw_clock(clock)) - clock.clock_offset;
}

void reset(PlaybackClock& clock) {
    clock.paused = true;
    clock.frozen_clock = raw_clock(clock);
    clock.clock_offset = clock.frozen_clock;
}

void pause(PlaybackClock& clock) {
    clock.paused = true;
    clock.frozen_clock = raw_clock(clock);
}

void resume(PlaybackClock& clock) {
    clock.clock_offset = raw_clock(clock) - (clock.frozen_clock - clock.clock_offset);
    clock.paused = false;
}

void seek(PlaybackClock& clock, double t) {
    clock.clock_offset = (clock.paused ? clock.frozen_clock : raw_clock(clock)) - t;
}

void set_speed(PlaybackClock& clock, double speed) {
    if (!(speed > 0.0) || !std::isfinite(speed) || speed == clock.speed)
        return;
    double now = position(clock);
    clock.speed = speed;
    // The raw clock is read at the new speed, so the fields that hold raw readings are taken again.
    if (clock.paused)
        clock.frozen_clock = raw_clock(clock);
    seek(clock, now);
}

void nudge(PlaybackClock& clock, double step) {
    if (step < 0.0 && !(position(clock) + step > 0.0)) {
        seek(clock, 0.0);
        return;
    }
    seek(clock, position(clock) + step);
}

}  // namespace dvbk
