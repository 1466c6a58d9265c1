#include "wire/media_location.h"

#include <gtest/gtest.h>

#include <string>

namespace dvbk {
namespace {

TEST(MediaLocation, FilesFromWhatPlayersAreGiven) {
    struct Case {
        std::string given;
        const char* name;
        const char* path;
    };
    const std::string long_name(MEDIA_NAME_MAX_BYTES + 1, 'a');
    const Case cases[] = {
        // As VLC writes a file's URI.
        {"file:///C:/Films/Film%20%282021%29%20%C3%A9%20%231%25.mkv", "Film (2021) é #1%.mkv",
         "C:\\Films\\Film (2021) é #1%.mkv"},
        {"FILE://localhost/d:/a.mkv", "a.mkv", "d:\\a.mkv"},
        {"file://server/share/Film.mkv", "Film.mkv", "\\\\server\\share\\Film.mkv"},
        {"file:///tmp/clip.wav", "", ""},  // no Windows path
        {"file:///C:/Films/", "", ""},
        {"file:///C:/a%2.mkv", "", ""},
        {"file:///C:/a%00.mkv", "", ""},
        {"file:///C:/a%FF.mkv", "", ""},
        {"file:///C:/a.mkv?x", "", ""},
        {"file://ser%20ver/share/a.mkv", "", ""},
        // As typed to mpv.
        {"C:\\Films\\Film.mkv", "Film.mkv", "C:\\Films\\Film.mkv"},
        {"C:/Films/Film.mkv", "Film.mkv", "C:\\Films\\Film.mkv"},
        {"\\\\server\\share\\Film.mkv", "Film.mkv", "\\\\server\\share\\Film.mkv"},
        {"Films\\Film.mkv", "Film.mkv", ""},
        {"C:Film.mkv", "C:Film.mkv", ""},
        {"https://example.com/v/Film%20One.mp4?t=1#x", "Film One.mp4", ""},
        {"https://example.com", "", ""},
        {"C:\\Films\\" + long_name, "", ""},
        {"C:\\Films\\a\tb.mkv", "", ""},
        {"C:\\Films\\\xFF.mkv", "", ""},
        {"", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.given);
        MediaFile file = media_file_from_player_path(c.given);
        EXPECT_EQ(c.name, file.name);
        EXPECT_EQ(c.path, file.path);
    }
}

TEST(MediaLocation, PageAddresses) {
    const std::string a_lot = "https://example.com/" + std::string(PAGE_ADDRESS_MAX_BYTES, 'a');
    // An "é" across the limit goes whole.
    const std::string cut_in_two = "http://" + std::string(PAGE_ADDRESS_MAX_BYTES - 8, 'a');
    const std::pair<std::string, std::string> cases[] = {
        {"https://www.example.com/watch?v=1", "https://www.example.com/watch?v=1"},
        {"HTTP://example.com/", "HTTP://example.com/"},
        {a_lot, a_lot.substr(0, PAGE_ADDRESS_MAX_BYTES)},
        {cut_in_two + "\xC3\xA9", cut_in_two},
        {"https://", ""},
        {"ftp://example.com/", ""},
        {"javascript:alert(1)", ""},
        {"https://example.com/a b", ""},
        {"https://example.com/\n", ""},
    };
    for (const auto& [text, page] : cases)
        EXPECT_EQ(page, page_address(text)) << text;
}

}  // namespace
}  // namespace dvbk
