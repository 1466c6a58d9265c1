#include "wire/sha1.h"

#include <cstdint>
#include <cstring>

namespace dvbk {
namespace {

std::uint32_t rotate_left(std::uint32_t x, int n) {
    return (x << n) | (x >> (32 - n));
}

void sha1_block(std::uint32_t (&h)[5], const unsigned char* block) {
    std::uint32_t w[80];
    for (int i = 0; i < 16; ++i) {
        w[i] = std::uint32_t(block[4 * i]) << 24 | std::uint32_t(block[4 * i + 1]) << 16 |
               std::uint32_t(block[4 * i + 2]) << 8 | std::uint32_t(block[4 * i + 3]);
    }
    for (int i = 16; i < 80; ++i)
        w[i] = rotate_left(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
    std::uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
    for (int i = 0; i < 80; ++i) {
        std::uint32_t f, k;
        if (i < 20) {
            f = (b & c) | (~b & d);
            k = 0x5A827999;
        } else if (i < 40) {
            f = b ^ c ^ d;
            k = 0x6ED9EBA1;
        } else if (i < 60) {
            f = (b & c) | (b & d) | (c & d);
            k = 0x8F1BBCDC;
        } else {
            f = b ^ c ^ d;
            k = 0xCA62C1D6;
        }
        std::uint32_t next = rotate_left(a, 5) + f + e + k + w[i];
        e = d;
        d = c;
        c = rotate_left(b, 30);
        b = a;
        a = next;
    }
    h[0] += a;
    h[1] += b;
    h[2] += c;
    h[3] += d;
    h[4] += e;
}

}  // namespace

std::string sha1(std::string_view bytes) {
    std::uint32_t h[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    size_t whole = bytes.size() / 64 * 64;
    for (size_t i = 0; i < whole; i += 64)
        sha1_block(h, data + i);
    // The rest, a 1 bit, zeros, and the length in bits: one block, or two when the length no
    // longer fits after the rest.
    unsigned char tail[128] = {};
    size_t rest = bytes.size() - whole;
    if (rest > 0)
        std::memcpy(tail, data + whole, rest);
    tail[rest] = 0x80;
    size_t tail_size = rest < 56 ? 64 : 128;
    std::uint64_t bits = std::uint64_t(bytes.size()) * 8;
    for (int i = 0; i < 8; ++i)
        tail[tail_size - 1 - i] = static_cast<unsigned char>(bits >> (8 * i));
    for (size_t i = 0; i < tail_size; i += 64)
        sha1_block(h, tail + i);
    std::string digest;
    for (std::uint32_t word : h) {
        for (int shift = 24; shift >= 0; shift -= 8)
            digest += static_cast<char>((word >> shift) & 0xFF);
    }
    return digest;
}

}  // namespace dvbk
