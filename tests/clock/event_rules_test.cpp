#include "clock/event_rules.h"

#include <gtest/gtest.h>

#include <utility>

#include "clock/event_status.h"

namespace dvbk {
namespace {

using K = EventKind;

TEST(EventRules, ApplyEventAndNames) {
    struct Case {
        int kind;
        bool covered, muted;
        const char* name;
    };
    // From the all-on state, and from the all-off state for the starts.
    for (const Case& c :
         {Case{0, true, true, "DunvelBlenk"}, Case{1, false, true, "Dunvel"}, Case{2, true, true, "DunvelBlenk"},
          Case{3, true, false, "Blenk"}, Case{4, true, true, "DunvelBlenk"}, Case{99, true, true, "DunvelBlenk"}}) {
        bool covered = true, muted = true;
        apply_event(static_cast<EventKind>(c.kind), covered, muted);
        EXPECT_EQ(c.name, action_name(covered, muted)) << c.kind;
    }
    bool covered = false, muted = false;
    apply_event(static_cast<EventKind>(99), covered, muted);
    EXPECT_EQ("Normal", action_name(covered, muted));
}

TEST(EventRules, FirstEventAfter) {
    const std::vector<FilterEvent> events = {{K::MuteStart, 10}, {K::MuteEnd, 20}, {K::MuteStart, 20}};
    for (auto [position, index] : {std::pair{-1.0, 0u}, {9.99, 0u}, {10.0, 1u}, {19.0, 1u}, {20.0, 3u}, {1e9, 3u}})
        EXPECT_EQ(index, first_event_after(events, position)) << position;
}

// Only what mutes counts, from the cursor on and no further than the lead.
TEST(EventRules, MuteDueWithin) {
    const std::vector<FilterEvent> events = {
        {K::CoverStart, 10}, {K::CoverEnd, 20}, {K::BothStart, 50}, {K::MuteEnd, 60}, {K::CoverEnd, 60}};
    struct Case {
        size_t next;
        double position;
        bool due;
    };
    for (const Case& c : {Case{0, 0, false}, Case{0, 19.9, false}, Case{2, 20, true}, Case{2, 49, true},
                          Case{3, 55, false}, Case{5, 70, false}}) {
        EXPECT_EQ(c.due, mute_due_within(events, c.next, c.position, 30.0)) << c.next << " " << c.position;
    }
}

TEST(EventRules, InForceAtFoldsTheEventsUpToThePosition) {
    const std::vector<FilterEvent> events = {{K::BothStart, 10}, {K::MuteEnd, 20},    {K::CoverEnd, 20},
                                             {K::MuteStart, 25}, {K::CoverStart, 25}, {K::CoverEnd, 30}};
    struct Case {
        double position;
        InForce state;
    };
    const Case cases[] = {
        {0, {false, false}},    {10, {true, true}},  {19.9, {true, true}}, {20, {false, false}},   {25, {true, true}},
        {29.999, {true, true}}, {30, {false, true}}, {1e9, {false, true}}, {-1e9, {false, false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.position);
        EXPECT_EQ(c.state, in_force_at(events, c.position));
    }
}

TEST(EventRules, EventTimerWakesEarlyUntilTheLastStretchThenFine) {
    const std::vector<FilterEvent> events = {{K::MuteStart, 10}, {K::MuteEnd, 100000}};
    struct Case {
        size_t next;
        double position;
        bool paused;
        double rate;
        EventTimerPlan plan;
    };
    const Case cases[] = {
        {0, 0, false, 1.0, {true, false, 9001}},      // a second early, at the ordinary resolution
        {0, 8.5, false, 1.0, {true, true, 1501}},     // the last two seconds: fine, and one past the event
        {0, 9, false, 0.5, {true, true, 2001}},       // half speed: twice the wait
        {0, 12, false, 1.0, {true, true, 1}},         // overdue: at once
        {1, 20, false, 1.0, {true, false, 3600000}},  // far: an hour, then set again
        {0, 0, true, 1.0, {}},                        // the clock stands
        {0, 0, false, 0.0, {}},
        {2, 0, false, 1.0, {}},  // nothing left
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.position);
        EXPECT_EQ(c.plan, plan_event_timer(events, c.next, c.position, c.paused, c.rate));
    }
}

}  // namespace
}  // namespace dvbk
