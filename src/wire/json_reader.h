// A small JSON reader for what media players send back. The replies we use are one object whose
// interesting members sit at the top level, so only those are kept; anything nested is checked for
// form and then skipped.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dvbk {

// Deeper input is refused rather than followed: the reader recurses once per level.
constexpr int JSON_DEPTH_LIMIT = 64;

enum class JsonKind { Null, Bool, Number, String, Array, Object };

struct JsonMember {
    std::string name;
    JsonKind kind = JsonKind::Null;
    bool flag = false;             // Bool
    std::optional<double> number;  // Number, unless a double cannot hold it (1e999, 1e-999)
    std::string text;              // String, decoded to UTF-8; a lone surrogate becomes U+FFFD
};

// Reads `text` as exactly one JSON object, with nothing but JSON white space around it, and returns
// its top-level members in order. nullopt for anything else, including nesting past the limit.
std::optional<std::vector<JsonMember>> read_json_object(std::string_view text);

// The last member called `name` (a repeated name counts as most readers take it), or nullptr.
const JsonMember* find_member(const std::vector<JsonMember>& members, std::string_view name);

}  // namespace dvbk
