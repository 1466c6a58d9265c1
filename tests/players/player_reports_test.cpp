#include "players/player_reports.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace dvbk {
namespace {

double ticks = 0;

double read_ticks() {
    return ticks;
}

// A browser's video says exactly where it was when the page read it, and how fast it plays; the
// clock runs on at that speed between reports.
TEST(ReportFromReply, BrowserReportsAreExactAndCarryTheirSpeed) {
    ticks = 5000000;
    set_tick_source(read_ticks);
    PlaybackClock clock;
    reset(clock);
    ClockFollower follower;
    begin_following(follower, ClockSource::Browser, ticks);
    PlayerReader reader{ClockSource::Browser};
    struct Step {
        std::uint64_t after_ms;
        const char* message;
        FollowOutcome outcome;
        double clock_at;  // `later_ms` after the report
        std::uint64_t later_ms;
        bool clock_paused;
    };
    const Step steps[] = {
        {0, R"("currentTime":10,"paused":false,"playbackRate":1,"age":0)", FollowOutcome::Jumped, 10.1, 100, false},
        // Read 30 ms before it arrived: the video is 30 ms further on by now.
        {150, R"("currentTime":10.25,"paused":false,"playbackRate":1,"age":30)", FollowOutcome::Moved, 10.28, 0, false},
        // Twice as fast: the clock runs at that speed until the next report.
        {250, R"("currentTime":10.5,"paused":false,"playbackRate":2,"age":0)", FollowOutcome::Moved, 11.0, 250, false},
        // A report that lags behind is followed all the same: there are no stale ones.
        {0, R"("currentTime":10.9,"paused":false,"playbackRate":2,"age":0)", FollowOutcome::Moved, 10.9, 0, false},
        {250, R"("currentTime":11.2,"paused":true,"playbackRate":2,"age":5)", FollowOutcome::Moved, 11.2, 1000, true},
        {1000, R"("currentTime":100,"paused":false,"playbackRate":0.5,"age":0)", FollowOutcome::Jumped, 100.5, 1000,
         false},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.message);
        ticks += step.after_ms;
        PlayerReply reply{ticks,
                          0,
                          true,
                          std::string(R"({"type":"video","tab":1,"video":"1:0:a:1","title":"t",)") + step.message + "}",
                          {}};
        ReplyReading reading = report_from_reply(reader, reply);
        ASSERT_TRUE(reading.report);
        EXPECT_EQ(step.outcome, follow_report(follower, clock, *reading.report, ticks));
        ticks += step.later_ms;
        EXPECT_NEAR(step.clock_at, position(clock), 1e-6);
        EXPECT_EQ(step.clock_paused, clock.paused);
    }
}

// Whatever else a reply says moves nothing; what the status line should say of it is the problem.
TEST(ReportFromReply, RepliesWithoutAReportSayWhy) {
    struct Case {
        ClockSource source;
        PlayerReply reply;
        const char* problem;
    };
    const Case cases[] = {
        {ClockSource::Browser, {1, 0, true, R"({"type":"hello","version":1})", {}}, ""},
        {ClockSource::Browser, {1, 0, true, R"({"type":"idle"})", {}}, "no video followed in the browser"},
        {ClockSource::Browser,
         {1, 0, true, R"({"type":"gone","tab":1,"video":"1:0:a:1"})", {}},
         "no video followed in the browser"},
        {ClockSource::Browser, {1, 0, true, "{", {}}, "unreadable answer"},
        {ClockSource::Vlc, {1, 0, true, R"({"state":"unknown","time":0})", {}}, "unreadable answer"},
        {ClockSource::Mpv, {1, 0, true, R"({"request_id":0,"error":"success"})", {}}, ""},
        {ClockSource::Mpv, {1, 0, false, "", "disconnected"}, "disconnected"},
        // Read, but nothing a film can be at: the clock never sees it.
        {ClockSource::Mpv,
         {1, 0, true, R"({"event":"property-change","name":"speed","data":100})", {}},
         "impossible position or speed"},
        {ClockSource::Browser,
         {1,
          0,
          true,
          R"({"type":"video","tab":1,"video":"v","title":"t","currentTime":5,"paused":false,"playbackRate":0.01,"age":0})",
          {}},
         "impossible position or speed"},
        {ClockSource::Vlc, {1, 0, true, R"({"state":"playing","time":1e12})", {}}, "impossible position or speed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply.text);
        PlayerReader reader{c.source};
        ReplyReading reading = report_from_reply(reader, c.reply);
        EXPECT_FALSE(reading.report);
        EXPECT_EQ(c.problem, reading.problem);
    }
}

// The clock follows one video of the browser: the first one reported after the extension said
// hello, had none, or said the followed one went. Any other plays elsewhere and never moves it.
TEST(ReportFromReply, BrowserFollowsOneVideo) {
    struct Step {
        double after_ms;
        std::string message;
        bool report;
        const char* problem;
    };
    auto video = [](const char* name, const char* title) {
        return std::string(R"({"type":"video","tab":3,"video":")") + name + R"(","title":")" + title +
               R"(","currentTime":4,"paused":false,"playbackRate":1,"age":0})";
    };
    const char* trailer = "Another video plays in the browser: Trailer (choose it in the extension)";
    const char* none = "no video followed in the browser";
    const Step steps[] = {
        {0, video("3:0:f:1", "Film"), true, ""},
        {250, video("7:0:p:1", "Trailer"), false, trailer},
        {250, video("3:0:f:1", "Film"), true, trailer},  // the note stays on show for a while
        {0, R"({"type":"gone","tab":7,"video":"7:0:p:1"})", false, ""},
        {OTHER_VIDEO_NOTE_MS, video("3:0:f:1", "Film"), true, ""},
        {0, video("3:0:f:2", "Film"), false, "Another video plays in the browser: Film (choose it in the extension)"},
        {OTHER_VIDEO_NOTE_MS, R"({"type":"gone","tab":3,"video":"3:0:f:1"})", false, none},
        {0, video("7:0:p:1", "Trailer"), true, ""},
        {0, R"({"type":"idle"})", false, none},
        {0, video("3:0:f:2", "Film"), true, ""},
        {0, R"({"type":"hello","version":1})", false, ""},
        {0, video("7:0:p:1", "Trailer"), true, ""},
    };
    PlayerReader reader{ClockSource::Browser};
    double tick = 1000;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.message);
        tick += step.after_ms;
        ReplyReading reading = report_from_reply(reader, PlayerReply{tick, 0, true, step.message, {}});
        EXPECT_EQ(step.report, reading.report.has_value());
        EXPECT_EQ(step.problem, reading.problem);
    }
}

// What plays is told when it changes, and only then.
TEST(ReportFromReply, TellsWhatPlaysWhenItChanges) {
    auto vlc = [](const char* name, int length) {
        return R"({"state":"playing","time":1,"length":)" + std::to_string(length) +
               R"(,"information":{"category":{"meta":{"filename":")" + name + R"("}}}})";
    };
    auto mpv = [](const char* name, const char* data) {
        return R"({"event":"property-change","name":")" + std::string(name) + R"(","data":)" + data + "}";
    };
    auto video = [](const char* name, const char* title, const char* more) {
        return R"({"type":"video","tab":3,"video":")" + std::string(name) + R"(","title":")" + title +
               R"(","currentTime":4,"paused":false,"playbackRate":1,"age":0)" + more + "}";
    };
    const std::string playlist_a = R"({"children":[{"uri":"file:///C:/Films/A.mkv","current":"current"}]})";
    const char* a = "C:\\Films\\A.mkv";
    const char* page = R"(,"url":"https://example.com/a")";
    using P = PlayedSource;
    // The reply, the playlist that came with it (VLC), what it tells.
    const std::pair<ClockSource, std::vector<std::tuple<std::string, std::string, std::optional<P>>>> players[] = {
        {ClockSource::Vlc,
         {{vlc("", 0), "", std::nullopt},
          {vlc("A.mkv", 0), playlist_a, P{"A.mkv", a, "", "", 0}},
          {vlc("A.mkv", 60), "", P{"A.mkv", a, "", "", 60}},  // the length learnt
          {vlc("A.mkv", 61), "", std::nullopt},
          {vlc("", 0), "", std::nullopt},                              // stopped: A is still what played
          {vlc("B.mkv", 90), "", P{"B.mkv", "", "", "", 90}},          // no playlist came
          {vlc("C.mkv", 5), playlist_a, P{"C.mkv", "", "", "", 5}}}},  // it names the next file already
        {ClockSource::Mpv,
         {{mpv("path", R"("C:/Films/A.mkv")"), "", P{"A.mkv", a, "", "", 0}},
          {mpv("duration", "60"), "", P{"A.mkv", a, "", "", 60}},
          {mpv("path", R"("C:\\Films\\A.mkv")"), "", std::nullopt},
          {mpv("path", R"("https://example.com/B.mp4?x=1")"), "", P{"B.mp4", "", "", "", 0}},
          {mpv("duration", "90"), "", P{"B.mp4", "", "", "", 90}}}},
        {ClockSource::Browser,
         {{video("3:0:a:1", "Film", page), "", P{"", "", "https://example.com/a", "Film", 0}},
          {video("3:0:a:1", "Film - Site", page), "", std::nullopt},
          {video("3:0:a:1", "Film", R"(,"duration":5400,"url":"https://example.com/a")"), "",
           P{"", "", "https://example.com/a", "Film", 5400}},
          {video("7:0:b:1", "Trailer", ""), "", std::nullopt},  // not followed
          {R"({"type":"hello","version":1})", "", std::nullopt},
          {video("3:0:a:1", "Film", page), "", std::nullopt},  // followed again
          {video("3:0:a:1", "Next", R"(,"url":"https://example.com/b")"), "",
           P{"", "", "https://example.com/b", "Next", 0}},
          {R"({"type":"idle"})", "", std::nullopt},
          {video("7:0:b:1", "Trailer", ""), "", P{"", "", "", "Trailer", 0}}}},
    };
    for (const auto& [player, steps] : players) {
        PlayerReader reader{player};
        for (const auto& [text, playlist, source] : steps) {
            PlayerReply reply{1000, 0, true, text, {}};
            reply.playlist = playlist;
            EXPECT_EQ(source, report_from_reply(reader, reply).source) << text;
        }
    }
}

// VLC sends whole seconds and a fraction of a length that is itself whole seconds; together they
// pin the position down well below a second.
TEST(ReportFromVlc, NarrowsTheLengthFromTimeAndPosition) {
    const double length = 5400.7;  // what VLC rounds down to 5400
    PlayerReader reader{ClockSource::Vlc};
    double worst_late = 0.0;
    for (int step = 1; step <= 200; ++step) {
        double truth = step * 13.37;
        VlcStatus status{PlayerState::Playing, std::floor(truth), 5400.0, truth / length};
        PlayerReport report = report_from_vlc(reader, status, 1000);
        EXPECT_GE(report.position, status.time);
        EXPECT_LT(report.position, status.time + 1.0);
        if (step > 100)
            worst_late = std::max(worst_late, std::abs(report.position - truth));
    }
    EXPECT_LT(worst_late, 0.05);

    struct Case {
        VlcStatus status;
        bool stopped;
        bool paused;
        double position;
    };
    const Case cases[] = {
        {{PlayerState::Stopped, 0, 0, 0}, true, false, 0.0},
        {{PlayerState::Paused, 42, 0, -1}, false, true, 42.0},  // no length: whole seconds
        {{PlayerState::Playing, 7, 100, -1}, false, false, 7.0},
    };
    for (const Case& c : cases) {
        reader = PlayerReader{ClockSource::Vlc};
        PlayerReport report = report_from_vlc(reader, c.status, 1000);
        EXPECT_EQ(c.stopped, report.stopped);
        EXPECT_EQ(c.paused, report.paused);
        EXPECT_EQ(c.position, report.position);
    }
}

TEST(ReportFromMpv, CombinesTimeAndPause) {
    PlayerReader reader{ClockSource::Mpv};
    MpvMessage paused{MpvMessage::Kind::Pause, std::nullopt, true};
    MpvMessage time{MpvMessage::Kind::TimePos, 12.5, false};
    MpvMessage nothing_loaded{MpvMessage::Kind::TimePos, std::nullopt, false};
    MpvMessage other{};
    MpvMessage faster{MpvMessage::Kind::Speed, std::nullopt, false, 1.5};

    std::optional<PlayerReport> report = report_from_mpv(reader, paused, 1);
    ASSERT_TRUE(report);
    EXPECT_TRUE(report->stopped);  // no time yet
    report = report_from_mpv(reader, time, 2);
    ASSERT_TRUE(report);
    EXPECT_FALSE(report->stopped);
    EXPECT_TRUE(report->paused);
    EXPECT_EQ(12.5, report->position);
    EXPECT_FALSE(report_from_mpv(reader, other, 3));
    report = report_from_mpv(reader, nothing_loaded, 4);
    ASSERT_TRUE(report);
    EXPECT_TRUE(report->stopped);
    report = report_from_mpv(reader, faster, 5);
    ASSERT_TRUE(report);
    EXPECT_EQ(1.5, report->rate);
}

}  // namespace
}  // namespace dvbk
