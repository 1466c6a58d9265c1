#include "wire/browser_report.h"

#include <gtest/gtest.h>

#include <string>

namespace dvbk {
namespace {

using Kind = BrowserReport::Kind;

// A video report as the extension sends it, with `extra` members after the others, so that they
// replace those of the same name.
std::string video(const std::string& extra = "") {
    return R"({"type":"video","tab":12,"video":"12:0:k2x9:3","title":"Page title","currentTime":12.345,"paused":false,)"
           R"("playbackRate":1,"duration":5400.5,"age":3.2)" +
           extra + "}";
}

TEST(BrowserReport, ReadsMessages) {
    struct Case {
        std::string text;
        bool ok;
        Kind kind = Kind::Other;
    };
    const Case cases[] = {
        {R"({"type":"hello","version":1})", true, Kind::Hello},
        {video(), true, Kind::Video},
        {R"({"type":"gone","tab":12,"video":"12:0:k2x9:3"})", true, Kind::Gone},
        {"{\"type\":\"idle\"}\n", true, Kind::Idle},
        {R"({"type":"frobnicate","x":[1,{}]})", true, Kind::Other},
        {video(R"(,"paused":true,"duration":null,"extra":{})"), true, Kind::Video},
        {video(R"(,"playbackRate":16,"age":60000,"currentTime":0)"), true, Kind::Video},
        {video(R"(,"video":"AZaz09-._:)" + std::string(54, 'x') + "\""), true, Kind::Video},  // 64 bytes
        {video(R"(,"url":["https://example.com/"])"), true, Kind::Video},  // no address, still a report

        {"", false},
        {R"({"type":"idle"} {})", false},
        {R"({"kind":"idle"})", false},
        {R"({"type":1})", false},
        {R"({"type":"hello"})", false},
        {R"({"type":"gone"})", false},
        {R"({"type":"gone","tab":1.5,"video":"v"})", false},
        {R"({"type":"gone","tab":1})", false},
        {R"({"type":"gone","tab":3000000000,"video":"v"})", false},
        {video(R"(,"paused":0)"), false},
        {video(R"(,"title":null)"), false},
        {video(R"(,"currentTime":-0.5)"), false},
        {video(R"(,"currentTime":1e999)"), false},
        {video(R"(,"playbackRate":0)"), false},
        {video(R"(,"playbackRate":16.01)"), false},
        {video(R"(,"age":-1)"), false},
        {video(R"(,"age":60001)"), false},
        {video(R"(,"duration":-1)"), false},
        {video(R"(,"duration":"live")"), false},
        {video(R"(,"video":"")"), false},
        {video(R"(,"video":12)"), false},
        {video(R"(,"video":"a b")"), false},
        {video(R"(,"video":"a/b")"), false},
        {video(R"(,"video":"\u00e9")"), false},
        {video(R"(,"video":")" + std::string(65, 'x') + "\""), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::optional<BrowserReport> report = read_browser_report(c.text);
        ASSERT_EQ(c.ok, report.has_value());
        if (report) {
            EXPECT_EQ(c.kind, report->kind);
        }
    }
}

TEST(BrowserReport, ReadsVideoValues) {
    std::optional<BrowserReport> report = read_browser_report(video());
    ASSERT_TRUE(report);
    EXPECT_EQ(12, report->tab);
    EXPECT_EQ("12:0:k2x9:3", report->video);
    EXPECT_EQ("Page title", report->title);
    EXPECT_EQ(12.345, report->current_time);
    EXPECT_FALSE(report->paused);
    EXPECT_EQ(1.0, report->playback_rate);
    EXPECT_EQ(5400.5, report->duration);
    EXPECT_EQ(3.2, report->age_ms);
    EXPECT_EQ("", report->page);  // left out by older extensions

    report = read_browser_report(video(R"(,"paused":true,"duration":null,"url":"https://example.com/w?v=1")"));
    ASSERT_TRUE(report);
    EXPECT_TRUE(report->paused);
    EXPECT_FALSE(report->duration);
    EXPECT_EQ("https://example.com/w?v=1", report->page);
}

TEST(BrowserReport, CutsTitles) {
    struct Case {
        const char* what;
        std::string title;  // as JSON string content
        std::string read;
    };
    const std::string a199(199, 'a');
    const Case cases[] = {
        {"200 bytes", a199 + "b", a199 + "b"},
        {"201 bytes", a199 + "bc", a199 + "b"},
        {"no split 2-byte sequence", a199 + "\xc3\xa9", a199},
        {"no split 4-byte sequence", std::string(197, 'a') + "\xf0\x9f\x8e\xac", std::string(197, 'a')},
        {"4-byte sequence ends at 200", std::string(196, 'a') + "\xf0\x9f\x8e\xac!",
         std::string(196, 'a') + "\xf0\x9f\x8e\xac"},
        {"control characters", "a\\nb\\u0000c\\t", "a b c "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::optional<BrowserReport> report = read_browser_report(video(",\"title\":\"" + c.title + "\""));
        ASSERT_TRUE(report);
        EXPECT_EQ(c.read, report->title);
    }
}

TEST(BrowserReport, StatusMessages) {
    EXPECT_EQ(R"({"type":"status","state":"allowed"})", browser_status_message(BrowserPermission::Allowed));
    EXPECT_EQ(R"({"type":"status","state":"pending"})", browser_status_message(BrowserPermission::Pending));
    EXPECT_EQ(R"({"type":"status","state":"refused"})", browser_status_message(BrowserPermission::Refused));
}

}  // namespace
}  // namespace dvbk
