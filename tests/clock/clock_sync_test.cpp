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
    };
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
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ClockSync sync;
        EXPECT_EQ("", sync.status());
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

}  // namespace
}  // namespace dvbk
