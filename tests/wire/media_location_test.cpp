#include "wire/media_location.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>

namespace dvbk {
namespace {

TEST(MediaLocation, FilesFromWhatPlayersAreGiven) {
    const std::string long_name(MEDIA_NAME_MAX_BYTES + 1, 'a');
    const std::tuple<std::string, const char*, const char*> cases[] = {
        // As VLC writes a file's URI.
        {"file:///C:/Films/Film%20%282021%29%20%C3%A9%20%231%25.mkv", "Film (2021) é #1%.mkv",
         "C:\\Films\\Film (2021) é #1%.mkv"},
        {"FILE://localhost/d:/a.mkv", "a.mkv", "d:\\a.mkv"},
        {"file://server/share/Film.mkv", "Film.mkv", "\\\\server\\share\\Film.mkv"},
        {"file:///tmp/clip.wav", "", ""},  // no Windows path
        {"file:///C:/Films/", "", ""},
        {"file:///C:/a%2.mkv", "", ""},
        {"file:///C:/a%00.mkv", "", ""},
        // As typed to mpv.
        {"C:/Films/Film.mkv", "Film.mkv", "C:\\Films\\Film.mkv"},
        {"\\\\server\\share\\Film.mkv", "Film.mkv", "\\\\server\\share\\Film.mkv"},
        {"Films\\Film.mkv", "Film.mkv", ""},
        {"C:Film.mkv", "C:Film.mkv", ""},
        {"https://example.com/v/Film%20One.mp4?t=1#x", "Film One.mp4", ""},
        {"C:\\Films\\" + long_name, "", ""},
    };
    for (const auto& [given, name, path] : cases) {
        MediaFile file = media_file_from_player_path(given);
        EXPECT_EQ(name, file.name) << given;
        EXPECT_EQ(path, file.path) << given;
    }
}

TEST(MediaLocation, PageAddresses) {
    const std::string a_lot = "https://example.com/" + std::string(PAGE_ADDRESS_MAX_BYTES, 'a');
    // An "é" across the limit goes whole.
    const std::string cut_in_two = "http://" + std::string(PAGE_ADDRESS_MAX_BYTES - 8, 'a');
    const std::pair<std::string, std::string> cases[] = {
        {"HTTP://example.com/w?v=1", "HTTP://example.com/w?v=1"},
        {a_lot, a_lot.substr(0, PAGE_ADDRESS_MAX_BYTES)},
        {cut_in_two + "\xC3\xA9", cut_in_two},
        {"javascript:alert(1)", ""},
        {"https://example.com/a b", ""},
    };
    for (const auto& [text, page] : cases)
        EXPECT_EQ(page, page_address(text)) << text;
}

}  // namespace
}  // namespace dvbk
