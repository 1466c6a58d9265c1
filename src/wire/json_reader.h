// A small JSON reader for what media players send back. Most replies we use are one object whose
// interesting members sit at the top level, so by default only those are kept and anything nested
// is checked for form and then skipped; a reader that needs deeper values asks for every level.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dvbk {

// Deeper input is refused rather than followed: the reader recurses once per level.
constexpr int JSON_DEPTH_LIMIT = 64;
// Every level kept: a document of more values than this is refused, so that a reply's tree stays
// within a few megabytes whatever its size (each value kept takes about a hundred bytes).
constexpr size_t JSON_KEPT_VALUES_LIMIT = 65536;

enum class JsonLevels { Top, All };

enum class JsonKind { Null, Bool, Number, String, Array, Object };

struct JsonMember {
    std::string name;
    JsonKind kind = JsonKind::Null;
    bool flag = false;             // Bool
    std::optional<double> number;  // Number, unless a double cannot hold it (1e999, 1e-999)
    std::string text;              // String, decoded to UTF-8; a lone surrogate becomes U+FFFD
    // Object: its members; Array: its elements, without names. Filled only with JsonLevels::All.
    std::vector<JsonMember> members;
};

// Reads `text` as exactly one JSON object, with nothing but JSON white space around it, and returns
// its top-level members in order, with those of every level below them when `levels` is All.
// nullopt for anything else, including nesting past the limit and, when every level is kept, more
// values than JSON_KEPT_VALUES_LIMIT.
std::optional<std::vector<JsonMember>> read_json_object(std::string_view text, JsonLevels levels = JsonLevels::Top);

// The last member called `name` (a repeated name counts as most readers take it), or nullptr.
const JsonMember* find_member(const std::vector<JsonMember>& members, std::string_view name);

}  // namespace dvbk
