#include <gtest/gtest.h>

#include <string>

#include "script/filter_script.h"
#include "script/range_recorder.h"
#include "script/script_edit.h"

namespace dvbk {
namespace {

const std::string bom = "\xEF\xBB\xBF";

bool loads(const std::string& text) {
    FilterScript script;
    return load_filter_script_text(text, "test", script);
}

TEST(AddRange, WritesInOrderMergesAndKeepsTheRest) {
    struct Case {
        std::string text;
        RecordedRange range;
        std::string expected;  // empty: refused
    };
    const Case cases[] = {
        {"", {RangeKind::Mute, 10, 20}, "Dunvel, 0:00:10, 0:00:20\r\n"},
        {new_script_text(), {RangeKind::Cover, 2472.5, 2480}, new_script_text() + "Blenk, 0:41:12.5, 0:41:20\r\n"},
        // After the last line of its track that starts no later; comments and blanks stay put.
        {"# a\nDunvel,5,6\n\n# b\nDunvel,30,31\nEnd,1:00\n",
         {RangeKind::Mute, 10, 12},
         "# a\nDunvel,5,6\nDunvel, 0:00:10, 0:00:12\n\n# b\nDunvel,30,31\nEnd,1:00\n"},
        {"Blenk,5,6\r\nDunvel,1,2\r\n",
         {RangeKind::Mute, 0.25, 0.5},
         "Blenk,5,6\r\nDunvel, 0:00:00.25, 0:00:00.5\r\nDunvel,1,2\r\n"},
        {"End,1:00\r\n", {RangeKind::Cover, 3, 4.5}, "Blenk, 0:00:03, 0:00:04.5\r\nEnd,1:00\r\n"},
        {"Dunvel,5,6", {RangeKind::Mute, 7, 8}, "Dunvel,5,6\r\nDunvel, 0:00:07, 0:00:08\r\n"},
        {"Dunvel,5,6", {RangeKind::Mute, 1, 2}, "Dunvel, 0:00:01, 0:00:02\r\nDunvel,5,6"},
        // The byte-order mark stays first; each line keeps its end, a new one takes the most common.
        {bom + "Dunvel,5,6\n", {RangeKind::Mute, 1, 2}, bom + "Dunvel, 0:00:01, 0:00:02\nDunvel,5,6\n"},
        {"# a\r\nDunvel,5,6\nBlenk,1,2\r\nEnd,1:00\r\n",
         {RangeKind::Mute, 10, 12},
         "# a\r\nDunvel,5,6\nDunvel, 0:00:10, 0:00:12\r\nBlenk,1,2\r\nEnd,1:00\r\n"},
        {"Dunvel,5,10\r\nBlenk,1,2\n\nEnd,1:00",
         {RangeKind::Mute, 9, 12},
         "Dunvel, 0:00:05, 0:00:12\r\nBlenk,1,2\n\nEnd,1:00"},
        {"Blenk,1,3\r\nDunvel,5,6\n",
         {RangeKind::Combined, 2, 4},
         "Blenk, 0:00:01, 0:00:02\r\nDunvelBlenk, 0:00:02, 0:00:04\r\nDunvel,5,6\n"},
        // Overlapping or touching ranges of its kind become one, on the first one's line.
        {"Dunvel,5,10\n# keep\nDunvel,12,15\nDunvel,20,21\n",
         {RangeKind::Mute, 9, 12},
         "Dunvel, 0:00:05, 0:00:15\n# keep\nDunvel,20,21\n"},
        {"blenk, 0:05, 0:10\n", {RangeKind::Cover, 10, 11}, "Blenk, 0:00:05, 0:00:11\n"},
        {"DunvelBlenk,5,10\n", {RangeKind::Combined, 1, 6}, "DunvelBlenk, 0:00:01, 0:00:10\n"},
        // A mute or cover range goes only where no combined range is; a combined one takes in the
        // mute and cover ranges it overlaps.
        {"DunvelBlenk,5,10\n", {RangeKind::Mute, 8, 12}, "DunvelBlenk,5,10\nDunvel, 0:00:10, 0:00:12\n"},
        {"DunvelBlenk,5,10\n",
         {RangeKind::Mute, 1, 20},
         "Dunvel, 0:00:01, 0:00:05\nDunvelBlenk,5,10\nDunvel, 0:00:10, 0:00:20\n"},
        {"DunvelBlenk,5,10\n", {RangeKind::Cover, 6, 8}, "DunvelBlenk,5,10\n"},
        {"Dunvel,2,6\nBlenk,8,14\nDunvel,9,10\n",
         {RangeKind::Combined, 4, 12},
         "Dunvel, 0:00:02, 0:00:04\nDunvelBlenk, 0:00:04, 0:00:12\nBlenk, 0:00:12, 0:00:14\n"},
        // A file that lists one track's ranges before the other's: the later ones go below.
        {"Blenk,20,30\nDunvel,1,2\n",
         {RangeKind::Combined, 10, 15},
         "Dunvel,1,2\nDunvelBlenk, 0:00:10, 0:00:15\nBlenk,20,30\n"},
        // Refused: no length.
        {"Dunvel,5,6\n", {RangeKind::Mute, 9, 9}, ""},
        {"Dunvel,5,6\n", {RangeKind::Mute, -2, 1}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text + " + " + range_line(c.range.kind, c.range.start, c.range.end));
        ScriptEdit edit = add_range(c.text, c.range);
        EXPECT_EQ(!c.expected.empty(), edit.ok) << edit.reason;
        EXPECT_EQ(c.expected, edit.text);
        EXPECT_EQ(c.expected.empty(), !edit.reason.empty());
        if (edit.ok) {
            EXPECT_TRUE(loads(edit.text));
        }
    }
}

TEST(RangeRecorder, PressesUndoAndTheFile) {
    RangeRecorder recorder;
    std::string file = new_script_text();
    auto press = [&](RangeKind kind, double at) {
        RecordStep step = recorder.mark(kind, at, 1.0, file);
        if (step.write)
            file = *step.write;
        return step.status;
    };
    EXPECT_EQ("Recording: no range open", recorder.status());
    EXPECT_EQ("Recording: mute range open since 0:41:11", press(RangeKind::Mute, 2472.4));
    EXPECT_EQ("Recording: mute range open since 0:41:11, cover range open since 0:41:14",
              press(RangeKind::Cover, 2475.0));
    EXPECT_EQ("Recording: wrote Dunvel, 0:41:11.4, 0:41:20; cover range open since 0:41:14",
              press(RangeKind::Mute, 2480.0));
    EXPECT_NE(std::string::npos, file.find("Dunvel, 0:41:11.4, 0:41:20\r\n"));

    // The cover would end where its lead put its start: refused, and still open.
    RangeRecorder early;
    early.mark(RangeKind::Cover, 0.5, 1.0, file);
    EXPECT_EQ("Recording: cover range not written, it would end before it starts",
              early.mark(RangeKind::Cover, 0.0, 1.0, file).status);

    // Undo gives the file back as it was and the range is open again; then the opening goes too.
    RecordStep undo = recorder.undo(file);
    ASSERT_TRUE(undo.write);
    EXPECT_EQ(new_script_text(), *undo.write);
    EXPECT_EQ("Recording: took back the last press; mute range open since 0:41:11, cover range open since 0:41:14",
              undo.status);
    EXPECT_FALSE(recorder.undo(file).write);
    EXPECT_FALSE(recorder.undo(file).write);
    EXPECT_EQ("Recording: nothing to take back; no range open", recorder.undo(file).status);

    // A range written before an editor changed the file stays: the editor's work is not undone.
    press(RangeKind::Mute, 100);
    press(RangeKind::Mute, 110);
    undo = recorder.undo(file + "# a note the user added\r\n");
    EXPECT_FALSE(undo.write);
    EXPECT_EQ("Recording: edited since, the range stays; no range open", undo.status);

    // Inside a combined range a mute has nothing left to write; across one, it goes around it.
    press(RangeKind::Combined, 200);
    press(RangeKind::Combined, 300);
    press(RangeKind::Mute, 250);
    EXPECT_EQ("Recording: nothing to write, a combined range has it all; no range open", press(RangeKind::Mute, 260));
    press(RangeKind::Mute, 150);
    EXPECT_EQ("Recording: wrote Dunvel, 0:02:29, 0:03:19 and Dunvel, 0:05:00, 0:05:10; no range open",
              press(RangeKind::Mute, 310));
}

TEST(RetimeScript, MapsRangesAndTheEndKeepsTheRest) {
    struct Case {
        std::string text;
        TimeMap map;
        std::string expected;  // empty: refused
        size_t warnings;
    };
    const TimeMap pal{24.0 / 25.0, 0.0};  // a 25 fps release of a 24 fps film
    const Case cases[] = {
        {"# film\r\nDunvel, 40:00, 40:05\r\n\r\nEnd, 1:30:00\r\n", pal,
         "# film\r\nDunvel, 0:38:24, 0:38:28.8\r\n\r\nEnd, 1:26:24\r\n", 0},
        {"Blenk,1,2\nDunvel,10,20\n", {1.0, -1.5}, "Blenk, 0:00:00, 0:00:00.5\nDunvel, 0:00:08.5, 0:00:18.5\n", 1},
        {"Blenk,1,2\nDunvel,10,20", {1.0, -5.0}, "Dunvel, 0:00:05, 0:00:15", 1},  // the cover is left out
        {"DunvelBlenk,1,2\n", {1.0, -5.0}, "", 1},                                // nothing left to load
        {bom + "# film\nBlenk,1,2\r\n", {1.0, 1.0}, bom + "# film\nBlenk, 0:00:02, 0:00:03\r\n", 0},
        {"Blenk,1,2,  nude 1 (male, from behind)\nDunvel,3,4,\n",
         {1.0, 1.0},
         "Blenk, 0:00:02, 0:00:03,  nude 1 (male, from behind)\nDunvel, 0:00:04, 0:00:05,\n",
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::vector<std::string> warnings;
        ScriptEdit edit = retime_script(c.text, c.map, warnings);
        EXPECT_EQ(!c.expected.empty(), edit.ok);
        EXPECT_EQ(c.expected, edit.text);
        EXPECT_EQ(c.warnings, warnings.size());
    }
}

TEST(FitTwoPoints, OffsetAndRateOrNothing) {
    struct Case {
        double a1, b1, a2, b2;
        bool fits;
        double rate, offset;
    };
    const Case cases[] = {
        {0, 0, 2400, 2304, true, 0.96, 0.0},
        {600, 602.3, 3600, 3602.3, true, 1.0, 2.3},
        {3600, 3602.3, 600, 602.3, true, 1.0, 2.3},  // either order
        {100, 100, 105, 106, false, 0, 0},           // too close to tell a speed
        {0, 0, 100, 300, false, 0, 0},               // three times as fast: a mistyped time
        {0, 0, 100, -100, false, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.a2);
        std::optional<TimeMap> map = fit_two_points(c.a1, c.b1, c.a2, c.b2);
        ASSERT_EQ(c.fits, map.has_value());
        if (map) {
            EXPECT_NEAR(c.rate, map->rate, 1e-12);
            EXPECT_NEAR(c.offset, map->offset, 1e-9);
        }
    }
}

}  // namespace
}  // namespace dvbk
