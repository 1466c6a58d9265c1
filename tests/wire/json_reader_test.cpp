#include "wire/json_reader.h"

#include <gtest/gtest.h>

#include <string>

namespace dvbk {
namespace {

TEST(JsonReader, DecodesStringEscapes) {
    struct Case {
        const char* json;
        const char* text;
    };
    const Case cases[] = {
        {R"("\"\\\/\b\f\n\r\t")", "\"\\/\b\f\n\r\t"},
        {R"("a\u0041\u00e9\u20AC")", "aA\xC3\xA9\xE2\x82\xAC"},
        {R"("\ud83c\udfac")", "\xF0\x9F\x8E\xAC"},
        {R"("\uDBFF\uDFFF")", "\xF4\x8F\xBF\xBF"},
        // Halves without their partner stand for U+FFFD; what follows them is kept.
        {R"("\ud83c")", "\xEF\xBF\xBD"},
        {R"("\ud83cx")", "\xEF\xBF\xBDx"},
        {R"("\ud83c\u0041")", "\xEF\xBF\xBD\x41"},
        {R"("\ud83c\ud83c\udfac")", "\xEF\xBF\xBD\xF0\x9F\x8E\xAC"},
        {R"("\udfac")", "\xEF\xBF\xBD"},
        {"\"\xC3\xA9\xFF\"", "\xC3\xA9\xFF"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.json);
        std::optional<std::vector<JsonMember>> members = read_json_object(std::string("{\"s\":") + c.json + "}");
        ASSERT_TRUE(members);
        ASSERT_EQ(1u, members->size());
        EXPECT_EQ(c.text, members->front().text);
    }
}

}  // namespace
}  // namespace dvbk
