#include "settings/mute_marker.h"

#include <charconv>
#include <limits>

#include "settings/settings_file.h"

namespace dvbk {
namespace {

// Decimal digits only, the whole value up to the closing tag, no sign, within the type.
template <class Number>
std::optional<Number> read_unsigned(std::string_view value) {
    std::string_view digits = value.substr(0, value.find('<'));
    Number number = 0;
    if (digits.empty() || digits.front() == '+' || digits.front() == '-')
        return std::nullopt;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (error != std::errc() || end != digits.data() + digits.size())
        return std::nullopt;
    return number;
}

}  // namespace

std::string mute_marker_text(const MuteMarker& marker, std::string_view line_end) {
    const MutedOutput& output = marker.output;
    std::string lines[] = {
        R"(<?xml version="1.0" encoding="UTF-8"?>)",
        "<mute_marker>",
        output.mixer ? std::string("<mixer>0</mixer>")
                     : "<endpoint>" + escaped_content(output.endpoint_id) + "</endpoint>",
        "<muted_at>" + std::to_string(marker.muted_at) + "</muted_at>",
        "<process_id>" + std::to_string(marker.process.id) + "</process_id>",
        "<process_created>" + std::to_string(marker.process.created) + "</process_created>",
        "</mute_marker>",
    };
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += line_end;
    }
    return text;
}

std::optional<MuteMarker> read_mute_marker(std::string_view text) {
    MuteMarker marker;
    int outputs = 0;
    std::optional<std::uint64_t> muted_at, created;
    std::optional<std::uint32_t> id;
    bool readable = true;
    for_each_element_line(text, [&](std::string_view key, std::string_view value) {
        if (key == "<endpoint") {
            marker.output = {false, element_content(value)};
            readable = readable && !marker.output.endpoint_id.empty();
            ++outputs;
        } else if (key == "<mixer") {
            marker.output = {true, ""};
            readable = readable && read_unsigned<std::uint32_t>(value) == 0u;
            ++outputs;
        } else if (key == "<muted_at") {
            muted_at = read_unsigned<std::uint64_t>(value);
            readable = readable && muted_at;
        } else if (key == "<process_id") {
            id = read_unsigned<std::uint32_t>(value);
            readable = readable && id && *id != 0;
        } else if (key == "<process_created") {
            created = read_unsigned<std::uint64_t>(value);
            readable = readable && created;
        }
    });
    if (!readable || outputs != 1 || !muted_at || !id || !created)
        return std::nullopt;
    marker.muted_at = *muted_at;
    marker.process = {*id, *created};
    return marker;
}

}  // namespace dvbk
