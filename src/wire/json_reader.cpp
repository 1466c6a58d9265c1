#include "wire/json_reader.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <system_error>

#include "text/c_locale.h"
#include "text/utf8.h"

namespace dvbk {
namespace {

bool is_json_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool is_high_surrogate(std::uint32_t code) {
    return code >= 0xD800 && code <= 0xDBFF;
}

bool is_low_surrogate(std::uint32_t code) {
    return code >= 0xDC00 && code <= 0xDFFF;
}

// Recursive descent over the text. `out` arguments are null while skipping nested values, so
// nothing is decoded or converted that no one will read.
class JsonParser {
public:
    JsonParser(std::string_view text, JsonLevels levels) : text_(text), all_levels_(levels == JsonLevels::All) {}

    bool read_document(std::vector<JsonMember>& members) {
        skip_space();
        if (!at('{') || !read_object(1, &members))
            return false;
        skip_space();
        return pos_ == text_.size();
    }

private:
    bool at(char c) const { return pos_ < text_.size() && text_[pos_] == c; }

    bool take(char c) {
        if (!at(c))
            return false;
        ++pos_;
        return true;
    }

    void skip_space() {
        while (pos_ < text_.size() && is_json_space(text_[pos_]))
            ++pos_;
    }

    size_t skip_digits() {
        size_t begin = pos_;
        while (pos_ < text_.size() && is_c_digit(text_[pos_]))
            ++pos_;
        return pos_ - begin;
    }

    bool take_word(std::string_view word) {
        if (text_.substr(pos_, word.size()) != word)
            return false;
        pos_ += word.size();
        return true;
    }

    // `depth` is how many containers hold the value; one the value opens is a level deeper.
    bool read_value(int depth, JsonMember* out) {
        skip_space();
        if (pos_ == text_.size())
            return false;
        JsonKind kind = JsonKind::Null;
        bool ok = false;
        switch (text_[pos_]) {
            case '{':
                kind = JsonKind::Object;
                ok = read_object(depth + 1, all_levels_ && out ? &out->members : nullptr);
                break;
            case '[':
                kind = JsonKind::Array;
                ok = read_array(depth + 1, all_levels_ && out ? &out->members : nullptr);
                break;
            case '"':
                kind = JsonKind::String;
                ok = read_string(out ? &out->text : nullptr);
                break;
            case 't':
                kind = JsonKind::Bool;
                ok = take_word("true");
                if (out)
                    out->flag = true;
                break;
            case 'f':
                kind = JsonKind::Bool;
                ok = take_word("false");
                break;
            case 'n':
                ok = take_word("null");
                break;
            default:
                kind = JsonKind::Number;
                ok = read_number(out ? &out->number : nullptr);
                break;
        }
        if (out)
            out->kind = kind;
        return ok;
    }

    bool read_object(int depth, std::vector<JsonMember>* members) {
        if (depth > JSON_DEPTH_LIMIT)
            return false;
        ++pos_;  // '{'
        skip_space();
        if (take('}'))
            return true;
        for (;;) {
            skip_space();
            JsonMember member;
            JsonMember* keep = members ? &member : nullptr;
            if (!at('"') || !read_string(keep ? &member.name : nullptr))
                return false;
            skip_space();
            if (!take(':') || !read_value(depth, keep))
                return false;
            if (members && !keep_value(*members, std::move(member)))
                return false;
            skip_space();
            if (take('}'))
                return true;
            if (!take(','))
                return false;
        }
    }

    bool read_array(int depth, std::vector<JsonMember>* elements) {
        if (depth > JSON_DEPTH_LIMIT)
            return false;
        ++pos_;  // '['
        skip_space();
        if (take(']'))
            return true;
        for (;;) {
            JsonMember element;
            if (!read_value(depth, elements ? &element : nullptr))
                return false;
            if (elements && !keep_value(*elements, std::move(element)))
                return false;
            skip_space();
            if (take(']'))
                return true;
            if (!take(','))
                return false;
        }
    }

    bool read_hex4(std::uint32_t& code) {
        if (text_.size() - pos_ < 4)
            return false;
        code = 0;
        for (int i = 0; i < 4; ++i) {
            int digit = hex_digit_value(text_[pos_ + i]);
            if (digit < 0)
                return false;
            code = code * 16 + static_cast<std::uint32_t>(digit);
        }
        pos_ += 4;
        return true;
    }

    // After "\u": one code point, or a surrogate pair written as two escapes.
    bool read_unicode_escape(std::string* out) {
        std::uint32_t code = 0;
        if (!read_hex4(code))
            return false;
        if (is_high_surrogate(code) && text_.substr(pos_, 2) == "\\u") {
            size_t pair_start = pos_;
            pos_ += 2;
            std::uint32_t low = 0;
            if (!read_hex4(low))
                return false;
            if (is_low_surrogate(low))
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
            else
                pos_ = pair_start;  // a lone high half; the next escape stands on its own
        }
        if (is_high_surrogate(code) || is_low_surrogate(code))
            code = 0xFFFD;
        if (out)
            append_utf8(*out, code);
        return true;
    }

    bool read_escape(std::string* out) {
        constexpr std::string_view names = "\"\\/bfnrt";
        constexpr std::string_view chars = "\"\\/\b\f\n\r\t";
        if (pos_ == text_.size())
            return false;
        char c = text_[pos_++];
        if (c == 'u')
            return read_unicode_escape(out);
        size_t index = names.find(c);
        if (index == std::string_view::npos)
            return false;
        if (out)
            *out += chars[index];
        return true;
    }

    // Bytes from 0x80 up pass through as they are: we compare only ASCII names and values.
    bool read_string(std::string* out) {
        ++pos_;  // '"'
        for (;;) {
            size_t run = pos_;
            while (pos_ < text_.size() && text_[pos_] != '"' && text_[pos_] != '\\' &&
                   static_cast<unsigned char>(text_[pos_]) >= 0x20)
                ++pos_;
            if (out)
                out->append(text_.substr(run, pos_ - run));
            if (pos_ == text_.size())
                return false;
            char c = text_[pos_++];
            if (c == '"')
                return true;
            if (c != '\\' || !read_escape(out))
                return false;
        }
    }

    // The JSON form is checked here, since from_chars would also take "inf", "nan" and "1.".
    bool read_number(std::optional<double>* out) {
        size_t start = pos_;
        take('-');
        if (!take('0') && skip_digits() == 0)
            return false;
        if (take('.') && skip_digits() == 0)
            return false;
        if (take('e') || take('E')) {
            if (!take('+'))
                take('-');
            if (skip_digits() == 0)
                return false;
        }
        if (out) {
            double value = 0.0;
            const char* first = text_.data() + start;
            const char* last = text_.data() + pos_;
            auto [end, error] = std::from_chars(first, last, value);
            if (error == std::errc() && end == last && std::isfinite(value))
                *out = value;
        }
        return true;
    }

    // With every level kept, each value counts towards the limit; the top level alone is kept as
    // before, bounded by the text's size.
    bool keep_value(std::vector<JsonMember>& values, JsonMember value) {
        if (all_levels_ && ++kept_ > JSON_KEPT_VALUES_LIMIT)
            return false;
        values.push_back(std::move(value));
        return true;
    }

    std::string_view text_;
    bool all_levels_;
    size_t kept_ = 0;
    size_t pos_ = 0;
};

}  // namespace

std::optional<std::vector<JsonMember>> read_json_object(std::string_view text, JsonLevels levels) {
    std::vector<JsonMember> members;
    JsonParser parser(text, levels);
    if (!parser.read_document(members))
        return std::nullopt;
    return members;
}

const JsonMember* find_member(const std::vector<JsonMember>& members, std::string_view name) {
    for (auto it = members.rbegin(); it != members.rend(); ++it) {
        if (it->name == name)
            return &*it;
    }
    return nullptr;
}

}  // namespace dvbk
