#include "wire/base64.h"

#include <cstdint>

namespace dvbk {
namespace {

constexpr std::string_view DIGITS = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

}  // namespace

std::string base64(std::string_view bytes) {
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    for (size_t i = 0; i < bytes.size(); i += 3) {
        size_t left = bytes.size() - i;
        std::uint32_t group = static_cast<unsigned char>(bytes[i]) << 16;
        if (left > 1)
            group |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (left > 2)
            group |= static_cast<unsigned char>(bytes[i + 2]);
        text += DIGITS[(group >> 18) & 63];
        text += DIGITS[(group >> 12) & 63];
        text += left > 1 ? DIGITS[(group >> 6) & 63] : '=';
        text += left > 2 ? DIGITS[group & 63] : '=';
    }
    return text;
}

int base64_digit_value(char c) {
    size_t index = DIGITS.find(c);
    return index == std::string_view::npos ? -1 : static_cast<int>(index);
}

}  // namespace dvbk
