#include "app/user_input.h"

#include <gtest/gtest.h>

#include "text/decimal_number.h"

namespace dvbk {
namespace {

TEST(CommandLine, HelpOpenOrNothing) {
    struct Case {
        const char* tail;
        StartupRequest request;
        const char* path;
    };
    const Case cases[] = {
        {"", StartupRequest::Nothing, ""},
        {"-h", StartupRequest::ShowUsage, ""},
        {"-help", StartupRequest::ShowUsage, ""},
        {"--help", StartupRequest::ShowUsage, ""},
        {"-H", StartupRequest::OpenScript, "-H"},    // case-sensitive
        {"-h ", StartupRequest::OpenScript, "-h "},  // the whole tail
        {"C:\\Films\\a.dvbk", StartupRequest::OpenScript, "C:\\Films\\a.dvbk"},
        {"\"C:\\My Films\\a.dvbk\"", StartupRequest::OpenScript, "C:\\My Films\\a.dvbk"},
        {"\"\"", StartupRequest::OpenScript, ""},
        {"\"a.dvbk", StartupRequest::OpenScript, "\"a.dvbk"},  // one quote alone stays
        {"\"", StartupRequest::OpenScript, "\""},
        {"\"a\" \"b\"", StartupRequest::OpenScript, "a\" \"b"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tail);
        CommandLineRequest request = classify_command_line(c.tail);
        EXPECT_EQ(c.request, request.request);
        EXPECT_EQ(c.path, request.path);
    }
}

TEST(StartDelay, WholeMillisecondsOrNone) {
    struct Case {
        double seconds;
        std::uint32_t milliseconds;
    };
    for (const Case& c : {Case{5, 5000}, Case{0.0015, 1}, Case{0, 0}, Case{-0.5, 0}, Case{-1e9, 0},
                          Case{4294967.294, 4294967294u}, Case{4294967.295, 0}, Case{1e12, 0}}) {
        EXPECT_EQ(c.milliseconds, delay_milliseconds(c.seconds)) << c.seconds;
    }
}

TEST(NumberText, ParseAsAStreamWould) {
    struct Case {
        const char* text;
        double value;
    };
    for (const Case& c : {Case{".986", 0.986}, Case{"12abc", 12}, Case{"  -3.5", -3.5}, Case{"abc", 0}, Case{"", 0},
                          Case{"1e2x", 100}, Case{"1.5.3", 1.5}, Case{"+.5", 0.5}, Case{"1e999", 0}}) {
        EXPECT_EQ(c.value, read_number(c.text)) << c.text;
    }
}

TEST(NumberText, FixedDecimals) {
    struct Case {
        double value;
        int decimals;
        const char* text;
    };
    for (const Case& c : {Case{0.986, 3, "0.986"}, Case{0.9, 3, "0.900"}, Case{0, 1, "0.0"}, Case{-2, 1, "-2.0"},
                          Case{1.26, 1, "1.3"}, Case{0.98765, 3, "0.988"}, Case{1e20, 1, "100000000000000000000.0"}}) {
        EXPECT_EQ(c.text, format_fixed(c.value, c.decimals)) << c.value;
    }
}

}  // namespace
}  // namespace dvbk
