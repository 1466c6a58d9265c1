#include "text/c_locale.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace dvbk {
namespace {

using namespace std::string_view_literals;

TEST(CLocale, EqualsIgnoringCase) {
    struct Case {
        std::string_view a;
        std::string_view b;
        bool equal;
    };
    const Case cases[] = {
        {"dunvel", "Dunvel", true},  // script keywords
        {"BLENKDUNVEL", "BlenkDunvel", true},
        {"Dunvel1", "Dunvel", false},
        {"", "", true},
        {"content-LENGTH", "Content-Length", true},  // HTTP header names
        {"Content_Length", "Content-Length", false},
        {"Violence", "violence", true},  // the words of other tools' files
        {"\xC4", "\xE4", false},         // Latin-1 letters differ only in case outside ASCII
        {"@", "`", false},               // neighbours of the letters
        {"[", "{", false},
        {"a\0b"sv, "A\0B"sv, true},
        {"a\0b"sv, "A\0C"sv, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " / " + std::string(c.b));
        EXPECT_EQ(c.equal, equals_ignoring_case(c.a, c.b));
        EXPECT_EQ(c.equal, equals_ignoring_case(c.b, c.a));
    }
}

TEST(CLocale, QuoteLine) {
    const std::string long_line(MAX_QUOTED_LINE + 1, 'x');
    struct Case {
        std::string_view line;
        std::string quoted;
    };
    const Case cases[] = {
        {"Dunvel,2:00,1:00", "Dunvel,2:00,1:00"},
        {"Dunvel,1,\0002"sv, "Dunvel,1,?2"},  // a NUL would end the message early
        {"\x1b[2Jbad", "?[2Jbad"},            // no escape sequence reaches a terminal
        {"a\tb\x7f\x01", "a\tb??"},           // the tab of a tab-separated file stays
        {"Bl\xC3\xA9nk", "Bl\xC3\xA9nk"},     // bytes from 0x80 up are text
        {std::string_view(long_line).substr(0, MAX_QUOTED_LINE), std::string(MAX_QUOTED_LINE, 'x')},
        {long_line, std::string(MAX_QUOTED_LINE, 'x') + "..."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.quoted);
        EXPECT_EQ(c.quoted, quote_line(c.line));
    }
}

}  // namespace
}  // namespace dvbk
