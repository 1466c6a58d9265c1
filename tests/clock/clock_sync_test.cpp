#include "clock/clock_sync.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace dvbk {
namespace {

// Moments given one after another: what each does to the map and to the status line.
TEST(ClockSync, MomentsMakeTheMapOrAreRefused) {
    struct Moment {
        double script_time, copy_time;
        std::string refusal;  // empty: taken
        std::string status;
    };
    struct Case {
        const char* what;
        std::vector<Moment> moments;
        double rate, offset;
        const TimeMap* restored = nullptr;  // taken before the moments
    };
    const TimeMap last_time{0.96, 2.3};
    const Case cases[] = {
        {"a third moment replaces the second; the first stays",
         {{0, 0, "", "Synced: +0.0 s, rate 1.000 until a second moment"},
          {100, 90, "", "Synced: +0.0 s, rate 0.900"},
          {1000, 959, "", "Synced: +0.0 s, rate 0.959"}},
         0.959,
         0.0},
        {"a copy that starts later, a moment before the first",
         {{2000, 1990.04, "", "Synced: -10.0 s, rate 1.000 until a second moment"},
          {1000, 990.04, "", "Synced: -10.0 s, rate 1.000"}},
         1.0,
         -9.96},
        {"refusals leave the map as it was",
         {{100, 100, "", "Synced: +0.0 s, rate 1.000 until a second moment"},
          {109.9, 110, "the two script times are under 10 s apart", ""},
          {200, 401, "the rate would be 3.010, outside 0.5 to 2", ""},
          {200, 0, "the rate would be -1.000, outside 0.5 to 2", ""},
          {NAN, 0, "the times are not numbers", ""}},
         1.0,
         0.0},
        {"a map from last time; a further moment measures the rate from its offset at 0:00:00",
         {{1000, 1002.3, "", "Synced: +2.3 s, rate 1.000"}},
         1.0,
         2.3,
         &last_time},
        {"a map from last time alone", {}, 0.96, 2.3, &last_time},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ClockSync sync;
        EXPECT_EQ("", sync.status());
        if (c.restored) {
            sync.restore(*c.restored);
            EXPECT_EQ("Synced as last time: +2.3 s, rate 0.960", sync.status());
        }
        for (const Moment& moment : c.moments) {
            std::string refusal;
            EXPECT_EQ(moment.refusal.empty(), sync.add(moment.script_time, moment.copy_time, refusal).has_value());
            EXPECT_EQ(moment.refusal, refusal);
            if (moment.refusal.empty()) {
                EXPECT_EQ(moment.status, sync.status());
            }
        }
        EXPECT_NEAR(c.rate, sync.map().rate, 1e-12);
        EXPECT_NEAR(c.offset, sync.map().offset, 1e-9);
        sync.clear();
        EXPECT_EQ(0, sync.moments());
        EXPECT_EQ("", sync.status());
    }
}

// When a moment changes the map, the clock goes on from where the copy is now, at the new pace.
TEST(ClockSync, AMapChangeKeepsWhereTheCopyIs) {
    struct Case {
        const char* what;
        TimeMap before, after;
        double script_time, copy_time, position, speed;
        double new_position, new_speed;
    };
    const Case cases[] = {
        {"the first moment: an offset, the clock stays", {1, 0}, {1, -21.7}, 100, 78.3, 100, 1, 100, 1},
        {"the second moment: the clock runs at 1 / rate", {1, -10}, {0.9, 0}, 100, 90, 100, 1, 100, 1 / 0.9},
        {"the clock moved on while the dialog was open", {1, -10}, {0.9, 0}, 100, 90, 105, 1, 95 / 0.9, 1 / 0.9},
        {"a third moment replaces the second's rate", {0.9, 0}, {0.959, 0}, 1000, 959, 1000, 1 / 0.9, 1000, 1 / 0.959},
        {"a followed player's speed carries over", {1, 0}, {0.96, 0}, 50, 48, 50, 1.25, 50, 1.25 / 0.96},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MapChange change = clock_after_map_change(c.before, c.after, c.script_time, c.copy_time, c.position, c.speed);
        EXPECT_NEAR(c.new_position, change.position, 1e-9);
        EXPECT_NEAR(c.new_speed, change.speed, 1e-12);
    }
}

}  // namespace
}  // namespace dvbk
