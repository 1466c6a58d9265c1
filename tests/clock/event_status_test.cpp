#include "clock/event_status.h"

#include <gtest/gtest.h>

#include <limits>

namespace dvbk {
namespace {

using K = EventKind;

TEST(StatusText, ElapsedRemainingAndTitle) {
    struct Case {
        double position, film_end;
        const char *elapsed, *remaining, *title;
    };
    const Case cases[] = {
        {0, 0, "Elapsed Time: 0:00:00", "Remaining Time: 0:00:00", "DVBK T: 0:00:00 R: 0:00:00"},
        {59.6, 60, "Elapsed Time: 0:01:00", "Remaining Time: 0:00:00", "DVBK T: 0:01:00 R: 0:00:00"},
        {0.5, 6720, "Elapsed Time: 0:00:01", "Remaining Time: 1:52:00", "DVBK T: 0:00:01 R: 1:52:00"},
        // Past the end (or with no End line): a minus in the line, none in the title.
        {75.2, 0, "Elapsed Time: 0:01:15", "Remaining Time: -0:01:15", "DVBK T: 0:01:15 R: 0:01:15"},
        {60.2, 60, "Elapsed Time: 0:01:00", "Remaining Time: -0:00:00", "DVBK T: 0:01:00 R: 0:00:00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.position);
        StatusTexts texts = compose_status(c.position, {}, 0, false, false, c.film_end);
        EXPECT_EQ(c.elapsed, texts.elapsed_text);
        EXPECT_EQ(c.remaining, texts.remaining_text);
        EXPECT_EQ(c.title, texts.title);
    }
}

TEST(StatusText, NextActionLooksAtEveryEventOfTheNextInstant) {
    const std::vector<FilterEvent> events = {
        {K::BothStart, 10}, {K::MuteEnd, 20}, {K::CoverEnd, 20}, {K::CoverStart, 30}, {K::MuteStart, 40}};
    struct Case {
        size_t next_event;
        bool covered, muted;
        double position;
        const char* text;
    };
    const Case cases[] = {
        {0, false, false, 0, "Next Action: DunvelBlenk in 0:00:10"},
        {1, true, true, 12.4, "Next Action: Normal in 0:00:08"},
        {2, false, true, 19, "Next Action: Dunvel in 0:00:01"},  // only the cover's end is left
        {3, false, true, 25, "Next Action: DunvelBlenk in 0:00:05"},
        {4, true, false, 35, "Next Action: DunvelBlenk in 0:00:05"},
        {5, false, false, 50, "Next Action: None"},
        {3, false, false, 31, "Next Action: Blenk in 0:00:-1"},  // paused past it, not yet carried out
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.text, compose_status(c.position, events, c.next_event, c.covered, c.muted, 0).next_action_text);
    }
}

TEST(StatusText, CursorAsScreenFractions) {
    EXPECT_EQ("Cursor position: (0.986, 0.949)", cursor_text(1893, 1025, 1920, 1080));
    EXPECT_EQ("Cursor position: (0.000, 1.000)", cursor_text(0, 1080, 1920, 1080));
}

}  // namespace
}  // namespace dvbk
