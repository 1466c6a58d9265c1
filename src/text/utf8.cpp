#include "text/utf8.h"

namespace dvbk {
namespace {

bool is_continuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

}  // namespace

bool next_code_point(std::string_view text, size_t& pos, char32_t& cp) {
    unsigned char lead = static_cast<unsigned char>(text[pos]);
    size_t length = lead < 0x80 ? 1 : lead < 0xC2 ? 0 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF5 ? 4 : 0;
    cp = REPLACEMENT_CHARACTER;
    if (length == 0 || pos + length > text.size()) {
        ++pos;
        return false;
    }
    char32_t value = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        unsigned char next = static_cast<unsigned char>(text[pos + i]);
        if ((next & 0xC0) != 0x80) {
            ++pos;
            return false;
        }
        value = (value << 6) | (next & 0x3F);
    }
    constexpr char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < least[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        ++pos;
        return false;
    }
    pos += length;
    cp = value;
    return true;
}

void append_utf8(std::string& text, char32_t cp) {
    if (cp < 0x80) {
        text += static_cast<char>(cp);
        return;
    }
    int extra = cp < 0x800 ? 1 : cp < 0x10000 ? 2 : 3;
    text += static_cast<char>(((0xFF00 >> (extra + 1)) & 0xFF) | (cp >> (6 * extra)));
    for (int i = extra - 1; i >= 0; --i)
        text += static_cast<char>(0x80 | ((cp >> (6 * i)) & 0x3F));
}

bool is_valid_utf8(std::string_view text) {
    size_t pos = 0;
    char32_t cp = 0;
    while (pos < text.size()) {
        if (!next_code_point(text, pos, cp))
            return false;
    }
    return true;
}

std::string_view cut_utf8(std::string_view text, size_t max_bytes) {
    if (text.size() <= max_bytes)
        return text;
    // A sequence is at most 4 bytes: backing off further would only mean the text is not UTF-8.
    size_t end = max_bytes;
    for (int back = 0; back < 3 && end > 0 && is_continuation(text[end]); ++back)
        --end;
    return text.substr(0, end);
}

}  // namespace dvbk
