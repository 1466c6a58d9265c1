#include "wire/base64.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace dvbk {
namespace {

using namespace std::string_view_literals;

TEST(Base64, Encodes) {
    struct Case {
        std::string_view bytes;
        const char* text;
    };
    const Case cases[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
        {"\xff\xfe\x00"sv, "//4A"},
        {":", "Og=="},
        {":secret", "OnNlY3JldA=="},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.text, base64(c.bytes));
    }
}

}  // namespace
}  // namespace dvbk
