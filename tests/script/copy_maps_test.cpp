#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "script/copy_maps.h"

namespace dvbk {
namespace {

const MatchRule hash{MatchKind::Hash, "8e245d9679d31e12"};
const MatchRule page{MatchKind::Page, "https://x.example/a?b=1"};

TEST(CopyMaps, WrittenWholeAndReadBack) {
    std::vector<CopyMap> maps = {{"C:\\Films\\Heat.dvbk", {hash, {0.96, 2.3}}},
                                 {"/home/a b/x.txt", {page, {1.0, -90.0}}},
                                 {"", {hash, {}}},
                                 {"#x.dvbk", {hash, {}}},
                                 {"a\nb", {hash, {}}},
                                 {"a", {page, {5.0, 0.0}}}};
    std::string text = copy_maps_text(maps, "\r\n");
    EXPECT_EQ(
        "# DunvelBlenk sync memory: script, then copy and map; newest first\r\n"
        "C:\\Films\\Heat.dvbk\thash=8e245d9679d31e12 offset=+2.3 rate=0.96\r\n"
        "/home/a b/x.txt\tpage=https://x.example/a?b=1 offset=-90 rate=1\r\n",
        text);
    std::vector<CopyMap> back = read_copy_maps(text);
    ASSERT_EQ(2u, back.size());
    EXPECT_EQ(-90.0, back[1].copy.map.offset);
    EXPECT_EQ(text, copy_maps_text(back, "\r\n"));
}

TEST(CopyMaps, ReadLenientlyFirstOfAPairKept) {
    std::string text =
        "\xEF\xBB\xBF# comment\n\nno tab\nx\tfile=a.mkv\nx\thash=8e245d9679d31e12 rate=9\n"
        "x\thash=8e245d9679d31e12 offset=+1\r\nx\tHASH=8E245D9679D31E12 offset=+2\ny\thash=8e245d9679d31e12\n";
    std::vector<CopyMap> maps = read_copy_maps(text);
    ASSERT_EQ(2u, maps.size());
    EXPECT_EQ(1.0, maps[0].copy.map.offset);
    EXPECT_EQ("y", maps[1].script);
    EXPECT_EQ(&maps[1], find_copy_map(maps, "y", hash));
    EXPECT_EQ(nullptr, find_copy_map(maps, "y", page));
}

TEST(CopyMaps, RememberedNewestFirstAndTheOldestDropped) {
    std::vector<CopyMap> maps;
    for (size_t i = 0; i <= MAX_COPY_MAPS; ++i)
        remember_copy_map(maps, {"film" + std::to_string(i), {hash, {}}});
    ASSERT_EQ(MAX_COPY_MAPS, maps.size());
    EXPECT_EQ("film1000", maps.front().script);
    EXPECT_EQ(nullptr, find_copy_map(maps, "film0", hash));
    remember_copy_map(maps, {"film500", {hash, {1.0, 7.0}}});
    EXPECT_EQ(MAX_COPY_MAPS, maps.size());
    EXPECT_EQ(7.0, maps.front().copy.map.offset);
    EXPECT_EQ(MAX_COPY_MAPS, read_copy_maps(copy_maps_text(maps) + "more\thash=0000000000000000\n").size());
}

}  // namespace
}  // namespace dvbk
