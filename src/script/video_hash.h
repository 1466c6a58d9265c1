// The video file hash subtitle sites use to know a copy of a film by its bytes: the file's size
// plus the 64-bit little-endian words of its first and its last 64 KiB, summed modulo 2^64, written
// as 16 lower-case hex digits. A file of any size has one: from one under 128 KiB the two chunks are
// min(size, 64 KiB) bytes each, read from the start and ending at the end, so they overlap (or are
// the same bytes); the words are counted from each chunk's first byte, and a last word the chunk
// cannot fill is padded with zero bytes. An empty file's hash is 16 zeros.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace dvbk {

// The bytes each chunk takes from the file.
inline constexpr std::uint64_t VIDEO_HASH_CHUNK = 64 * 1024;

// Fills `into` with the `length` bytes of the file at `offset`; false when it cannot have them all.
using ByteReader = std::function<bool(std::uint64_t offset, std::size_t length, unsigned char* into)>;

// The hash of a file of `size` bytes whose bytes `read` hands out; false when a read fails.
bool video_hash(std::uint64_t size, const ByteReader& read, std::string& hash);

// The hash of the file at `path`; false when it is not a file that can be read.
bool hash_of_file(const std::string& path, std::string& hash);

}  // namespace dvbk
