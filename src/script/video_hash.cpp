#include "script/video_hash.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

namespace dvbk {
namespace {

// The sum of the chunk's little-endian 64-bit words, the last one padded with zero bytes.
std::uint64_t sum_of_words(const std::vector<unsigned char>& chunk) {
    std::uint64_t sum = 0;
    for (size_t start = 0; start < chunk.size(); start += 8) {
        std::uint64_t word = 0;
        for (size_t i = std::min(chunk.size(), start + 8); i-- > start;)
            word = word << 8 | chunk[i];
        sum += word;
    }
    return sum;
}

}  // namespace

bool video_hash(std::uint64_t size, const ByteReader& read, std::string& hash) {
    auto length = static_cast<size_t>(std::min(size, VIDEO_HASH_CHUNK));
    std::vector<unsigned char> head(length), tail(length);
    if (length > 0 && (!read(0, length, head.data()) || !read(size - length, length, tail.data())))
        return false;
    char text[17];
    std::snprintf(text, sizeof text, "%016llx",
                  static_cast<unsigned long long>(size + sum_of_words(head) + sum_of_words(tail)));
    hash = text;
    return true;
}

bool hash_of_file(const std::string& path, std::string& hash) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return false;
    std::uintmax_t size = std::filesystem::file_size(path, error);
    std::ifstream in(path, std::ios::binary);
    if (error || !in)
        return false;
    return video_hash(
        size,
        [&](std::uint64_t offset, size_t length, unsigned char* into) {
            in.seekg(static_cast<std::streamoff>(offset));
            in.read(reinterpret_cast<char*>(into), static_cast<std::streamsize>(length));
            return in.gcount() == static_cast<std::streamsize>(length);
        },
        hash);
}

}  // namespace dvbk
