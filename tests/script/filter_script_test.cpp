#include "script/filter_script.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <tuple>
#include <vector>

namespace dvbk {
namespace {

using K = EventKind;

struct Loaded {
    bool ok;
    FilterScript script;
};

Loaded load_text(const std::string& text, const std::string& name = "a.txt") {
    Loaded loaded{false, {}};
    loaded.ok = load_filter_script_text(text, name, loaded.script);
    return loaded;
}

std::string write_temp(const std::string& name, const std::string& bytes) {
    std::string path = testing::TempDir() + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

std::string line_error(const std::string& message, int line) {
    return "Error processing file: " + message + " in file: a.txt at line " + std::to_string(line);
}

void expect_events(const std::vector<FilterEvent>& expected, const std::vector<FilterEvent>& actual) {
    ASSERT_EQ(expected.size(), actual.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(expected[i].kind, actual[i].kind);
        EXPECT_EQ(expected[i].time, actual[i].time);
    }
}

TEST(LoadFilterScript, SampleScriptYieldsSortedEvents) {
    Loaded loaded = load_text(
        "# opening credits are fine\n"
        "Dunvel, 0:12:05, 0:12:09.5\n"
        "Blenk, 0:30:00, 0:31:10\n"
        "DunvelBlenk, 0:45:00, 0:46:30\n"
        "End, 1:52:00\n");
    ASSERT_TRUE(loaded.ok) << loaded.script.load_error;
    expect_events({{K::MuteStart, 725},
                   {K::MuteEnd, 729.5},
                   {K::CoverStart, 1800},
                   {K::CoverEnd, 1870},
                   {K::BothStart, 2700},
                   {K::MuteEnd, 2790},
                   {K::CoverEnd, 2790}},
                  loaded.script.events);
    EXPECT_EQ(6720, loaded.script.film_end);
    EXPECT_EQ("", loaded.script.load_error);
}

TEST(LoadFilterScript, AcceptedLines) {
    struct Case {
        std::string text;
        std::vector<FilterEvent> events;
        double film_end;
    };
    const Case cases[] = {
        {"dunvel,1,2\nBLENK,3,4\nbLeNkDuNvEl,5,6",
         {{K::MuteStart, 1},
          {K::MuteEnd, 2},
          {K::CoverStart, 3},
          {K::CoverEnd, 4},
          {K::BothStart, 5},
          {K::MuteEnd, 6},
          {K::CoverEnd, 6}},
         0},
        {"Dunvel Blenk, 1: 00, 2: 00", {{K::BothStart, 60}, {K::MuteEnd, 120}, {K::CoverEnd, 120}}, 0},
        {"D\tun\vvel,\f1,2\r\n", {{K::MuteStart, 1}, {K::MuteEnd, 2}}, 0},
        {"Dunvel,5,5", {{K::MuteStart, 5}, {K::MuteEnd, 5}}, 0},
        {"Dunvel,1:00,2:00\nDunvel,2:00,3:00",
         {{K::MuteStart, 60}, {K::MuteEnd, 120}, {K::MuteStart, 120}, {K::MuteEnd, 180}},
         0},
        // Back to back, the seam written in two notations.
        {"Dunvel,0:02:21.66,142.08\nDunvel,2:22.08,0:02:22.61",
         {{K::MuteStart, 141.66}, {K::MuteEnd, 142.08}, {K::MuteStart, 142.08}, {K::MuteEnd, 142.61}},
         0},
        {"Dunvel,1:00,2:00\nBlenk,0:30,1:30",
         {{K::CoverStart, 30}, {K::MuteStart, 60}, {K::CoverEnd, 90}, {K::MuteEnd, 120}},
         0},
        {"Dunvel,1:00,2:00,anything", {{K::MuteStart, 60}, {K::MuteEnd, 120}}, 0},
        {"Dunvel,1,2,3#x,,", {{K::MuteStart, 1}, {K::MuteEnd, 2}}, 0},
        {"# a, comment, with, commas\n  #Dunvel,9,1\nBlenk,1,2", {{K::CoverStart, 1}, {K::CoverEnd, 2}}, 0},
        {"End,1:00\nBlenk,1,2\nEnd,2:00,ignored\nEnd,-5", {{K::CoverStart, 1}, {K::CoverEnd, 2}}, -5},
        {"Blenk,1,2", {{K::CoverStart, 1}, {K::CoverEnd, 2}}, 0},  // no End line leaves film_end alone
        {"\xEF\xBB\xBF# notes\r\nBlenk,1,2", {{K::CoverStart, 1}, {K::CoverEnd, 2}}, 0},  // as editors save it
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Loaded loaded = load_text(c.text);
        ASSERT_TRUE(loaded.ok) << loaded.script.load_error;
        expect_events(c.events, loaded.script.events);
        EXPECT_EQ(c.film_end, loaded.script.film_end);
    }
}

TEST(LoadFilterScript, FirstBadLineStopsWithItsMessage) {
    const std::string bom = "\xEF\xBB\xBF";
    struct Case {
        std::string text;
        std::string error;
    };
    const Case cases[] = {
        {"Foo,1,2", line_error("Unexpected command: Foo,1,2", 1)},
        {"Foo", line_error("Expected times after command: Foo", 1)},
        {"Foo,a,b", line_error("Error parsing times: Foo,a,b", 1)},
        {"Foo,2,1", line_error("Start time must be before end time: Foo,2,1", 1)},
        {"End", line_error("Error parsing end time: End", 1)},
        {"End,", line_error("Error parsing end time: End,", 1)},
        {"End,1:", line_error("Error parsing end time: End,1:", 1)},
        {"Dunvel", line_error("Expected times after command: Dunvel", 1)},
        {"Dunvel,", line_error("Expected times after command: Dunvel,", 1)},
        {"Dunvel,1:00", line_error("Expected times after command: Dunvel,1:00", 1)},
        {"Dunvel,1:00,", line_error("Expected times after command: Dunvel,1:00,", 1)},
        {"Dunvel,1:00,,", line_error("Error parsing times: Dunvel,1:00,,", 1)},
        {"Dunvel,,2", line_error("Error parsing times: Dunvel,,2", 1)},
        {"Dunvel,1:00,2:00#note", line_error("Error parsing times: Dunvel,1:00,2:00#note", 1)},
        {"Dunvels,1,2", line_error("Unexpected command: Dunvels,1,2", 1)},
        {"Blenk2,1,2", line_error("Unexpected command: Blenk2,1,2", 1)},
        {"Dun#vel,1,2", line_error("Unexpected command: Dun#vel,1,2", 1)},
        {",1,2", line_error("Unexpected command: ,1,2", 1)},
        {"Dunvel, 2:00, 1:00", line_error("Start time must be before end time: Dunvel,2:00,1:00", 1)},
        {"Dunvel,-5,10", line_error("Dunvel starts before prior Dunvel ends: Dunvel,-5,10", 1)},
        {"Blenk,-5,10", line_error("Blenk starts before prior Blenk ends: Blenk,-5,10", 1)},
        {"Dunvel,1:00,2:00\nDunvel,1:59,3:00",
         line_error("Dunvel starts before prior Dunvel ends: Dunvel,1:59,3:00", 2)},
        {"Dunvel,1:00,2:00\nDunvelBlenk,1:30,2:30",
         line_error("Dunvel starts before prior Dunvel ends: DunvelBlenk,1:30,2:30", 2)},
        {"Blenk,1:00,2:00\nDunvelBlenk,1:30,2:30",
         line_error("Blenk starts before prior Blenk ends: DunvelBlenk,1:30,2:30", 2)},
        {"Blenk,1:00,2:00\nDunvelBlenk,2:00,2:30\nBlenkDunvel,2:10,3:00",
         line_error("Dunvel starts before prior Dunvel ends: BlenkDunvel,2:10,3:00", 3)},
        {"\n# x\n   \n\t\nFoo,1,2\nDunvel,-1,1", line_error("Unexpected command: Foo,1,2", 5)},
        {"Dunvel,1,2\n" + bom + "Blenk,1,2", line_error("Unexpected command: " + bom + "Blenk,1,2", 2)},
        {"Dunvel,1,2\r\nBlenk,1\r\n", line_error("Expected times after command: Blenk,1", 2)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Loaded loaded = load_text(c.text);
        EXPECT_FALSE(loaded.ok);
        EXPECT_EQ(c.error, loaded.script.load_error);
    }
}

TEST(LoadFilterScript, FailedLoadKeepsEarlierEventsUnsorted) {
    Loaded loaded = load_text("Blenk,5,6\nDunvel,1,2\nBogus,1,2\n");
    EXPECT_FALSE(loaded.ok);
    expect_events({{K::CoverStart, 5}, {K::CoverEnd, 6}, {K::MuteStart, 1}, {K::MuteEnd, 2}}, loaded.script.events);
}

TEST(LoadFilterScript, NoEventsIsAnError) {
    for (const std::string text : {"", "\n\n  \n", "# only\n#comments", "End,1:00:00", "\r\n"}) {
        SCOPED_TRACE(text);
        Loaded loaded = load_text(text, "C:\\Films\\x.dvbk");
        EXPECT_FALSE(loaded.ok);
        EXPECT_EQ("Error, file 'C:\\Films\\x.dvbk' has no valid commands", loaded.script.load_error);
    }
}

TEST(LoadFilterScript, EqualTimesKeepFileOrderInLongLists) {
    // Touching ranges well past 32 events: each range's end must stay before the next one's start,
    // or the sound would come back for an instant at every seam.
    std::string text;
    for (int i = 0; i < 100; ++i)
        text += "Dunvel," + std::to_string(i) + "," + std::to_string(i + 1) + "\n";
    text += "DunvelBlenk,100,100\n";
    Loaded loaded = load_text(text);
    ASSERT_TRUE(loaded.ok) << loaded.script.load_error;
    const auto& events = loaded.script.events;
    ASSERT_EQ(203u, events.size());
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(K::MuteStart, events[2 * i].kind);
        EXPECT_EQ(K::MuteEnd, events[2 * i + 1].kind);
    }
    EXPECT_EQ(K::BothStart, events[200].kind);
    EXPECT_EQ(K::MuteEnd, events[201].kind);
    EXPECT_EQ(K::CoverEnd, events[202].kind);
}

TEST(LoadFilterScript, FromFile) {
    std::string missing = testing::TempDir() + "no-such-script.dvbk";
    FilterScript script;
    EXPECT_FALSE(load_filter_script(missing, script));
    EXPECT_EQ("Error opening file '" + missing + "'", script.load_error);

    // Windows line ends, no line end after the last line, and a reload that replaces the events.
    std::string path = write_temp("crlf.dvbk", "Dunvel,1,2\r\n\r\nEnd,1:00:00\r\nBlenk,3,4");
    ASSERT_TRUE(load_filter_script(path, script)) << script.load_error;
    ASSERT_TRUE(load_filter_script(path, script)) << script.load_error;
    EXPECT_EQ(4u, script.events.size());
    EXPECT_EQ(3600, script.film_end);

    EXPECT_FALSE(load_filter_script(write_temp("bad.dvbk", "Blenk,1,2\n\nFoo,1,2"), script));
    EXPECT_EQ(
        "Error processing file: Unexpected command: Foo,1,2 in file: " + testing::TempDir() + "bad.dvbk at line 3",
        script.load_error);
}

TEST(LoadFilterScript, ShippedExamplesLoad) {
    for (auto [name, events, film_end] : {std::tuple{"sample.dvbk", 11u, 60.0}, {"feature-film.dvbk", 43u, 7120.0}}) {
        SCOPED_TRACE(name);
        FilterScript script;
        EXPECT_TRUE(load_filter_script(std::string(DVBK_EXAMPLES_DIR) + name, script)) << script.load_error;
        EXPECT_EQ(events, script.events.size());
        EXPECT_EQ(film_end, script.film_end);
    }
}

TEST(LoadFilterScript, HostileInputGivesAShortClearError) {
    // A NUL inside a time must not end the field early, nor cut the message short.
    Loaded nul = load_text(std::string("Dunvel,1") + '\0' + "9,2");
    EXPECT_FALSE(nul.ok);
    EXPECT_EQ(line_error("Error parsing times: Dunvel,1?9,2", 1), nul.script.load_error);

    // One 100 MB line: rejected, and the message quotes only its beginning.
    std::string huge(100u << 20, 'x');
    Loaded big = load_text(huge);
    EXPECT_FALSE(big.ok);
    EXPECT_EQ(line_error("Expected times after command: " + std::string(200, 'x') + "...", 1), big.script.load_error);

    // The same line as an ignored fourth field still loads.
    Loaded trailing = load_text("Dunvel,1,2," + huge);
    EXPECT_TRUE(trailing.ok);

    // Bytes of a binary file, NULs and high bytes included.
    std::string binary;
    for (int i = 0; i < 4096; ++i)
        binary += static_cast<char>((i * 131 + 7) & 0xff);
    Loaded bin = load_text(binary);
    EXPECT_FALSE(bin.ok);
    EXPECT_EQ(std::string::npos, bin.script.load_error.find('\0'));
    EXPECT_NE(std::string::npos, bin.script.load_error.find(" in file: a.txt at line "));
}

}  // namespace
}  // namespace dvbk
