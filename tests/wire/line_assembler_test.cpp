#include "wire/line_assembler.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace dvbk {
namespace {

TEST(LineAssembler, PiecesBecomeLines) {
    struct Case {
        const char* what;
        std::vector<std::string> pieces;
        std::vector<std::string> lines;
    };
    // Lines of at most 8 bytes before the "\n".
    const Case cases[] = {
        {"one line", {"{\"a\":1}\n"}, {"{\"a\":1}"}},
        {"split", {"{\"a\":", "1}\n"}, {"{\"a\":1}"}},
        {"two in one piece", {"x\ny\n"}, {"x", "y"}},
        {"CR LF and empty lines", {"x\r", "\n\r\n", "\n"}, {"x"}},
        {"inner CR kept", {"x\ry\n"}, {"x\ry"}},
        {"unfinished line held", {"a\ntail"}, {"a"}},
        {"exactly the limit", {"12345678\n", "1234567\r\n"}, {"12345678", "1234567"}},
        {"too long in one piece", {"123456789\nok\n"}, {"ok"}},
        {"too long across pieces", {"12345", "6789", "0123\nok\n"}, {"ok"}},
        {"too long, end alone", {"1234567890", "\n", "next\n"}, {"next"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LineAssembler assembler(8);
        std::vector<std::string> lines;
        for (const std::string& piece : c.pieces) {
            for (std::string& line : assembler.feed(piece))
                lines.push_back(std::move(line));
        }
        EXPECT_EQ(c.lines, lines);
    }
}

}  // namespace
}  // namespace dvbk
