#include "script/film_time.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace dvbk {
namespace {

TEST(ParseTime, AcceptsEveryNotation) {
    struct Case {
        std::string text;
        double seconds;
    };
    const Case cases[] = {{"95", 95},
                          {"95.5", 95.5},
                          {"1e2", 100},
                          {"+5", 5},
                          {"-5", -5},
                          {".5", 0.5},
                          {"5.", 5},
                          {"1:35", 95},
                          {"01:02:03", 3723},
                          {"1:02:03.25", 3723.25},
                          {"0:90", 90},
                          {"1:75:00", 8100},
                          {"-1:30", -30},
                          {"1:-30", 30},
                          {" 1 : 30", 90},
                          {"08:09", 489},
                          {"0:0:1.5e1", 15},
                          {"2e-3", 0.002},
                          {"1e-400", 0},
                          {"+1:+1:+1", 3661},
                          // The same instant as "142.08", to the last bit.
                          {"2:22.08", 142.08},
                          {"0:02:22.080", 142.08},
                          // The largest whole part that fits 32 bits, and the smallest.
                          {"596523:14:07", 2147483647.0},
                          {"-596523:-14:-08", -2147483648.0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        double seconds = -1;
        EXPECT_TRUE(read_time(c.text, seconds));
        EXPECT_EQ(c.seconds, seconds);
    }
}

TEST(ParseTime, RejectsAndLeavesZero) {
    const std::string cases[] = {
        "", ":", "1:", ":30", "1::30", "1.5:00", "1:2:3:4", "90s", "2:00#note", "1:30 ", "95 ", "1e", "1e+", ".", "+",
        "- 5", "0x10", "inf", "nan", "1e400", "-1e400", "1:2:", "a:30", "1:30:x", "1,5", "1:1.5:00", "+-1",
        // Whole parts past the 32-bit range either way, a minutes field out of range, huge hours.
        "596523:15:00", "-596523:-15:00", "2147483648:00", "99999999999999999999:00:00",
        // A NUL after the number is not the end of the text.
        std::string("1\0", 2), std::string("1:") + '\0' + "30"};
    for (const std::string& text : cases) {
        SCOPED_TRACE(testing::PrintToString(text));
        double seconds = -1;
        EXPECT_FALSE(read_time(text, seconds));
        EXPECT_EQ(0.0, seconds);
    }
}

TEST(FormatTime, WritesHoursMinutesSeconds) {
    struct Case {
        double seconds;
        const char* text;
    };
    const Case cases[] = {{0, "0:00:00"},
                          {59, "0:00:59"},
                          {61.4, "0:01:01"},
                          {3723, "1:02:03"},
                          {36000, "10:00:00"},
                          {360000, "100:00:00"},
                          {59.6, "0:00:60"},
                          {3599.7, "0:59:60"},
                          {-0.4, "0:00:00"},
                          {-30, "0:00:-30"},
                          {-3725, "-1:-2:-5"},
                          {0.5, "0:00:01"},
                          {-0.5, "0:00:-1"},
                          {3600 * 2147483647.0, "2147483647:00:00"},
                          // No meaningful hour count: one fixed text instead of undefined conversions.
                          {std::numeric_limits<double>::quiet_NaN(), "--:--:--"},
                          {std::numeric_limits<double>::infinity(), "--:--:--"},
                          {-std::numeric_limits<double>::infinity(), "--:--:--"},
                          {3600 * 2147483648.0, "--:--:--"},
                          {-1e300, "--:--:--"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.seconds);
        EXPECT_EQ(c.text, rounded_time_text(c.seconds));
    }
}

TEST(FormatTime, ReadsBackWithinHalfASecond) {
    for (double t : {0.0, 1.49, 59.4, 725.0, 3723.25, 6720.0, 86399.4, 1234567.0}) {
        SCOPED_TRACE(t);
        double back = -1;
        ASSERT_TRUE(read_time(rounded_time_text(t), back));
        EXPECT_LE(std::fabs(back - t), 0.5);
    }
}

}  // namespace
}  // namespace dvbk
