#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "script/video_hash.h"

namespace dvbk {
namespace {

// Each byte weighed by its place in its 8-byte group, chunk by chunk: the sum the hash is.
std::uint64_t expected_sum(const std::string& bytes) {
    std::uint64_t sum = bytes.size();
    size_t chunk = std::min<size_t>(bytes.size(), 65536);
    for (size_t start : {size_t{0}, bytes.size() - chunk}) {
        for (size_t i = 0; i < chunk; ++i)
            sum += std::uint64_t{static_cast<unsigned char>(bytes[start + i])} << (8 * (i % 8));
    }
    return sum;
}

TEST(VideoHash, SumsSizeAndBothEndsOfFilesOfEverySize) {
    for (size_t size : {0, 1, 131071, 131072, 5 * 1024 * 1024 + 3}) {
        SCOPED_TRACE(size);
        std::string bytes(size, '\0');
        std::uint32_t state = 12345;
        for (char& byte : bytes)
            byte = static_cast<char>((state = state * 1103515245 + 12345) >> 23);
        std::string path = testing::TempDir() + "dvbk-video-" + std::to_string(size);
        std::ofstream(path, std::ios::binary) << bytes;
        char expected[17];
        std::snprintf(expected, sizeof expected, "%016llx", static_cast<unsigned long long>(expected_sum(bytes)));
        std::string from_file, from_memory;
        ASSERT_TRUE(hash_of_file(path, from_file));
        EXPECT_EQ(expected, from_file);
        ASSERT_TRUE(video_hash(
            size,
            [&](std::uint64_t at, size_t length, unsigned char* into) {
                std::copy_n(bytes.data() + at, length, into);
                return true;
            },
            from_memory));
        EXPECT_EQ(expected, from_memory);
        std::remove(path.c_str());
    }
}

TEST(VideoHash, ReadsThatFailGiveNoHash) {
    std::string hash;
    EXPECT_FALSE(hash_of_file(testing::TempDir() + "no-such-video.mkv", hash));
    EXPECT_FALSE(hash_of_file(testing::TempDir(), hash));
    EXPECT_FALSE(video_hash(
        1 << 20, [](std::uint64_t at, size_t, unsigned char*) { return at == 0; }, hash));
    EXPECT_EQ("", hash);
}

}  // namespace
}  // namespace dvbk
