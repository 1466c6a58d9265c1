#include "wire/utf8.h"

#include <cstdint>

namespace dvbk {
namespace {

bool is_continuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

}  // namespace

bool is_valid_utf8(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        unsigned char lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        size_t extra;
        std::uint32_t code, least;
        if ((lead & 0xE0) == 0xC0) {
            extra = 1, code = lead & 0x1F, least = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2, code = lead & 0x0F, least = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3, code = lead & 0x07, least = 0x10000;
        } else {
            return false;
        }
        if (text.size() - i - 1 < extra)
            return false;
        for (size_t k = 1; k <= extra; ++k) {
            if (!is_continuation(text[i + k]))
                return false;
            code = code << 6 | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        }
        if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += extra + 1;
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
