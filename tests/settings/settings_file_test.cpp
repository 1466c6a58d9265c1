#include "settings/settings_file.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace dvbk {
namespace {

void expect_settings(const AppSettings& expected, const AppSettings& actual) {
    EXPECT_EQ(expected.click_maximize, actual.click_maximize);
    EXPECT_EQ(expected.click_choice, actual.click_choice);
    EXPECT_EQ(expected.click_x, actual.click_x);
    EXPECT_EQ(expected.click_y, actual.click_y);
    EXPECT_EQ(expected.time_adj, actual.time_adj);
}

TEST(SettingsText, WritesTheEightLines) {
    EXPECT_EQ(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<settings>\r\n<click_maximize>0</click_maximize>\r\n"
        "<click_choice>Windows Media Player</click_choice>\r\n<click_x>0.986</click_x>\r\n"
        "<click_y>0.949</click_y>\r\n<time_adj>0</time_adj>\r\n</settings>\r\n"
        "<clock_source>Manual</clock_source>\r\n<vlc_host>127.0.0.1</vlc_host>\r\n<vlc_port>8080</vlc_port>\r\n"
        "<vlc_password></vlc_password>\r\n<mpv_pipe>\\\\.\\pipe\\mpvsocket</mpv_pipe>\r\n"
        "<browser_port>47813</browser_port>\r\n<cover_monitors>player</cover_monitors>\r\n"
        "<mark_lead>1</mark_lead>\r\n<clock_keys>0</clock_keys>\r\n<scripts_folder></scripts_folder>\r\n"
        "<load_matching>1</load_matching>\r\n",
        settings_text(AppSettings{}, "\r\n"));

    AppSettings changed{true, 2, 12.3456789, -2.5, 1e-7};
    std::string text = settings_text(changed);
    EXPECT_NE(std::string::npos, text.find("\n<click_maximize>1</click_maximize>\n"));
    EXPECT_NE(std::string::npos, text.find("\n<click_choice>Custom</click_choice>\n"));
    EXPECT_NE(std::string::npos, text.find("\n<click_x>12.3457</click_x>\n"));
    EXPECT_NE(std::string::npos, text.find("\n<click_y>-2.5</click_y>\n"));
    EXPECT_NE(std::string::npos, text.find("\n<time_adj>1e-07</time_adj>\n"));
}

TEST(SettingsText, RoundTripKeepsSixDigits) {
    for (int choice = 0; choice < 3; ++choice) {
        AppSettings saved{choice == 1, choice, 0.1234567, 0.9, -3.5};
        AppSettings loaded;
        read_settings_text(settings_text(saved, choice == 2 ? "\r\n" : "\n"), loaded);
        expect_settings({choice == 1, choice, 0.123457, 0.9, -3.5}, loaded);
    }
}

TEST(SettingsText, ReadsLineByLine) {
    const AppSettings d;  // what an unreadable line leaves
    struct Case {
        std::string text;
        AppSettings expected;
    };
    const Case cases[] = {
        {"", d},
        {"<click_maximize>1</click_maximize>", {true, 0, d.click_x, d.click_y, 0}},
        {"<click_maximize> 1", {true, 0, d.click_x, d.click_y, 0}},
        {"<click_maximize>true</click_maximize>", d},
        {"<click_maximize>2</click_maximize>", d},
        {"<click_maximize>99999999999</click_maximize>", d},
        {"<click_choice>Netflix</click_choice>", {false, 1, d.click_x, d.click_y, 0}},
        {"<click_choice>Custom", {false, 2, d.click_x, d.click_y, 0}},
        {"<click_choice>netflix</click_choice>", d},
        {"<click_choice> Netflix</click_choice>", d},
        {"<click_choice></click_choice>", d},
        {"<click_choice>", d},
        {"<click_x>.5</click_x>", {false, 0, 0.5, d.click_y, 0}},
        {"<click_x> 0.5</click_x>", {false, 0, 0.5, d.click_y, 0}},
        {"<click_x>0.5", {false, 0, 0.5, d.click_y, 0}},
        {"<click_x>5e-1</click_x>\r", {false, 0, 0.5, d.click_y, 0}},
        {"<click_x>abc</click_x>", d},
        {"<click_x>1e999</click_x>", d},  // no infinite positions or drift
        {"<click_x>", d},
        {"<click_x", d},
        {"   <click_x>0.5</click_x>", d},
        {"<CLICK_X>0.5</CLICK_X>", d},
        {"<click_x>0.5</click_x><click_y>0.6</click_y>", {false, 0, 0.5, d.click_y, 0}},
        {"<click_y>-1.5</click_y>\n<time_adj>+12</time_adj>", {false, 0, d.click_x, -1.5, 12}},
        {"<time_adj>1</time_adj>\n<time_adj>x</time_adj>\n<time_adj>3</time_adj>\n<time_adj>y",
         {false, 0, d.click_x, d.click_y, 3}},
        {"<click_x>0.1\r\n\r\n\n<click_y>0.2\r\n", {false, 0, 0.1, 0.2, 0}},
        {std::string("<click_x>0.25") + '\0' + "9", {false, 0, 0.25, d.click_y, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.text));
        AppSettings settings;
        read_settings_text(c.text, settings);
        expect_settings(c.expected, settings);
    }
}

TEST(SettingsText, PlayerLinesRoundTripAndReadAlone) {
    struct Case {
        std::string line;
        ClockSource source;
        std::string host;
        int port;
        std::string password;
    };
    const AppSettings d;
    const Case cases[] = {
        {"<clock_source>VLC</clock_source>", ClockSource::Vlc, d.vlc_host, d.vlc_port, ""},
        {"<clock_source>mpv</clock_source>\r", ClockSource::Mpv, d.vlc_host, d.vlc_port, ""},
        {"<clock_source>vlc</clock_source>", ClockSource::Manual, d.vlc_host, d.vlc_port, ""},
        {"<clock_source>Browser</clock_source>", ClockSource::Browser, d.vlc_host, d.vlc_port, ""},
        {"<vlc_host>media-pc.local</vlc_host>", ClockSource::Manual, "media-pc.local", d.vlc_port, ""},
        {"<vlc_port>9090</vlc_port>", ClockSource::Manual, d.vlc_host, 9090, ""},
        {"<vlc_port>0</vlc_port>\n<vlc_port>65536\n<vlc_port>x", ClockSource::Manual, d.vlc_host, d.vlc_port, ""},
        {"<vlc_password>a&lt;b&gt;c&amp;d&#9;&bogus;&#999;&</vlc_password>", ClockSource::Manual, d.vlc_host,
         d.vlc_port, "a<b>c&d\t&bogus;&#999;&"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        AppSettings settings;
        read_settings_text(c.line, settings);
        EXPECT_EQ(c.source, settings.clock_source);
        EXPECT_EQ(c.host, settings.vlc_host);
        EXPECT_EQ(c.port, settings.vlc_port);
        EXPECT_EQ(c.password, settings.vlc_password);
    }

    AppSettings saved;
    saved.clock_source = ClockSource::Mpv;
    saved.vlc_password = "p<a>s&s\x01w\x7f\xc3\xa9";
    saved.mpv_pipe = "\\\\.\\pipe\\film night";
    AppSettings loaded;
    read_settings_text(settings_text(saved, "\r\n"), loaded);
    EXPECT_EQ(ClockSource::Mpv, loaded.clock_source);
    EXPECT_EQ(saved.vlc_password, loaded.vlc_password);
    EXPECT_EQ(saved.mpv_pipe, loaded.mpv_pipe);
}

TEST(SettingsText, OnlyAPipeOnThisComputerIsOpened) {
    const std::pair<std::string, bool> cases[] = {
        {R"(\\.\pipe\mpvsocket)", true},
        {R"(\\.\PIPE\mpv socket-2)", true},
        {R"(\\.\pipe\)", false},                          // no name
        {R"(\\server\pipe\mpvsocket)", false},            // another computer
        {R"(\\.\pipe\a\b)", false},                       // a backslash in the name
        {R"(C:\Users\me\mpvsocket)", false},              // a file
        {R"(\\.\pipe\)" + std::string(248, 'x'), false},  // 257 characters
        {R"(\\.\pipe\)" + std::string(247, 'x'), true},
    };
    for (const auto& [name, local] : cases)
        EXPECT_EQ(local, is_local_pipe_name(name)) << name;
}

TEST(SettingsText, BrowserLines) {
    struct Case {
        std::string text;
        int port;
        std::vector<std::string> allowed;
        std::vector<std::string> refused;
    };
    const std::string chrome = "chrome-extension://abcdefghijklmnopabcdefghijklmnop";
    const std::string firefox = "moz-extension://4b9d1c7e-2f3a-4c55-9d0e-1a2b3c4d5e6f";
    const Case cases[] = {
        {"<browser_port>9000</browser_port>", 9000, {}, {}},
        {"<browser_port>0\n<browser_port>70000\n<browser_port>x", DEFAULT_BROWSER_PORT, {}, {}},
        {"<browser_allowed>" + chrome + "</browser_allowed>\r\n<browser_allowed>" + firefox + "</browser_allowed>",
         DEFAULT_BROWSER_PORT,
         {chrome, firefox},
         {}},
        {"<browser_allowed>" + chrome + "\n<browser_allowed>" + chrome + "\n<browser_allowed></browser_allowed>",
         DEFAULT_BROWSER_PORT,
         {chrome},
         {}},  // once each, and never an empty one
        {"<browser_refused>" + firefox + "</browser_refused>", DEFAULT_BROWSER_PORT, {}, {firefox}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        AppSettings settings;
        read_settings_text(c.text, settings);
        EXPECT_EQ(c.port, settings.browser_port);
        EXPECT_EQ(c.allowed, settings.browser_allowed);
        EXPECT_EQ(c.refused, settings.browser_refused);
    }

    // A file can hold only so many answers; the rest of them are not kept.
    std::string many;
    for (size_t i = 0; i < MAX_BROWSER_ORIGINS + 5; ++i)
        many += "<browser_refused>moz-extension://" + std::to_string(i) + "</browser_refused>\n";
    AppSettings settings;
    read_settings_text(many, settings);
    EXPECT_EQ(MAX_BROWSER_ORIGINS, settings.browser_refused.size());

    AppSettings saved;
    saved.clock_source = ClockSource::Browser;
    saved.browser_port = 50123;
    saved.browser_allowed = {chrome, "moz-extension://a<b>&c"};
    saved.browser_refused = {firefox};
    AppSettings loaded;
    read_settings_text(settings_text(saved, "\r\n"), loaded);
    EXPECT_EQ(settings_text(saved), settings_text(loaded));
}

// The scripts chosen for copies: newest first, one per copy, a tab and markup in a path kept, and
// no more than the cap, on the way in and on the way out.
TEST(SettingsText, ScriptChoices) {
    AppSettings settings;
    for (int i = 0; i < 102; ++i)
        remember_script_choice(settings, "hash=" + std::to_string(i % 101), "C:\\a<b>&\\" + std::to_string(i));
    ASSERT_EQ(MAX_SCRIPT_CHOICES, settings.script_choices.size());
    EXPECT_EQ(std::make_pair(std::string("hash=0"), std::string("C:\\a<b>&\\101")), settings.script_choices[0]);
    EXPECT_EQ("hash=100", settings.script_choices[1].first);
    AppSettings loaded;
    read_settings_text(settings_text(settings, "\r\n") + "<script_choice>no tab</script_choice>\n", loaded);
    EXPECT_EQ(settings.script_choices, loaded.script_choices);
}

TEST(SettingsText, CoverAndRecordingLines) {
    struct Case {
        const char* text;
        CoverMonitors cover;
        double mark_lead;
        bool clock_keys = false;
        const char* scripts_folder = "";
        bool load_matching = true;
    };
    const Case cases[] = {
        {"<cover_monitors>all</cover_monitors>", CoverMonitors::All, 1.0},
        {"<cover_monitors>all</cover_monitors>\n<cover_monitors>player</cover_monitors>", CoverMonitors::Player, 1.0},
        {"<cover_monitors>All</cover_monitors>", CoverMonitors::Player, 1.0},  // as written, or not at all
        {"<cover_monitors></cover_monitors>", CoverMonitors::Player, 1.0},
        {"<mark_lead>0.25</mark_lead>", CoverMonitors::Player, 0.25},
        {"<mark_lead>0</mark_lead>", CoverMonitors::Player, 0.0},
        {"<mark_lead>-1</mark_lead>\n<mark_lead>11</mark_lead>\n<mark_lead>x</mark_lead>", CoverMonitors::Player, 1.0},
        {"<clock_keys>1</clock_keys>", CoverMonitors::Player, 1.0, true},
        {"<clock_keys>1</clock_keys>\n<clock_keys>2</clock_keys>\n<clock_keys>yes", CoverMonitors::Player, 1.0, true},
        {"<clock_keys>true</clock_keys>", CoverMonitors::Player, 1.0, false},
        {"<scripts_folder>D:\\Films &amp; scripts</scripts_folder>\n<load_matching>0</load_matching>",
         CoverMonitors::Player, 1.0, false, "D:\\Films & scripts", false},
        {"<load_matching>no</load_matching>", CoverMonitors::Player, 1.0, false, "", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        AppSettings settings;
        read_settings_text(c.text, settings);
        EXPECT_EQ(c.cover, settings.cover_monitors);
        EXPECT_EQ(c.mark_lead, settings.mark_lead);
        EXPECT_EQ(c.clock_keys, settings.clock_keys);
        EXPECT_EQ(c.scripts_folder, settings.scripts_folder);
        EXPECT_EQ(c.load_matching, settings.load_matching);
        AppSettings loaded;
        read_settings_text(settings_text(settings, "\r\n"), loaded);
        EXPECT_EQ(c.cover, loaded.cover_monitors);
        EXPECT_EQ(c.mark_lead, loaded.mark_lead);
        EXPECT_EQ(c.clock_keys, loaded.clock_keys);
        EXPECT_EQ(c.scripts_folder, loaded.scripts_folder);
        EXPECT_EQ(c.load_matching, loaded.load_matching);
    }
}

}  // namespace
}  // namespace dvbk
