#include "wire/player_messages.h"

#include <initializer_list>
#include <vector>

#include "wire/json_reader.h"
#include "wire/media_location.h"

namespace dvbk {
namespace {

bool read_state(const JsonMember* member, PlayerState& state) {
    if (!member || member->kind != JsonKind::String)
        return false;
    if (member->text == "playing")
        state = PlayerState::Playing;
    else if (member->text == "paused")
        state = PlayerState::Paused;
    else if (member->text == "stopped")
        state = PlayerState::Stopped;
    else
        return false;
    return true;
}

// Missing or null leaves `value` as it is; anything but a number a double holds is refused.
bool read_optional_number(const JsonMember* member, double& value) {
    if (!member || member->kind == JsonKind::Null)
        return true;
    if (!member->number)
        return false;
    value = *member->number;
    return true;
}

bool is_string(const JsonMember* member, std::string_view text) {
    return member && member->kind == JsonKind::String && member->text == text;
}

// The member reached from `members` through objects by `names`, or nullptr.
const JsonMember* member_at(const std::vector<JsonMember>& members, std::initializer_list<std::string_view> names) {
    const std::vector<JsonMember>* level = &members;
    const JsonMember* member = nullptr;
    for (std::string_view name : names) {
        if (member && member->kind != JsonKind::Object)
            return nullptr;
        member = find_member(*level, name);
        if (!member)
            return nullptr;
        level = &member->members;
    }
    return member;
}

// The "uri" of the first playlist item with a "current" member, looked for down the "children".
// The reader has bounded the depth, so the recursion is bounded too.
const JsonMember* find_current_uri(const std::vector<JsonMember>& item) {
    if (find_member(item, "current"))
        return find_member(item, "uri");
    const JsonMember* children = find_member(item, "children");
    if (!children || children->kind != JsonKind::Array)
        return nullptr;
    for (const JsonMember& child : children->members) {
        if (child.kind != JsonKind::Object)
            continue;
        if (const JsonMember* uri = find_current_uri(child.members))
            return uri;
    }
    return nullptr;
}

}  // namespace

std::optional<VlcStatus> read_vlc_status(std::string_view json) {
    std::optional<std::vector<JsonMember>> members = read_json_object(json, JsonLevels::All);
    if (!members)
        return std::nullopt;
    VlcStatus status;
    const JsonMember* time = find_member(*members, "time");
    if (!read_state(find_member(*members, "state"), status.state) || !time || !time->number)
        return std::nullopt;
    status.time = *time->number;
    if (!read_optional_number(find_member(*members, "length"), status.length) ||
        !read_optional_number(find_member(*members, "position"), status.position))
        return std::nullopt;
    if (status.length < 0.0)
        status.length = 0.0;
    if (!read_optional_number(find_member(*members, "rate"), status.rate))
        return std::nullopt;
    if (!(status.rate > 0.0))
        status.rate = 1.0;
    const JsonMember* name = member_at(*members, {"information", "category", "meta", "filename"});
    if (name && name->kind == JsonKind::String && fits_as_name(name->text, MEDIA_NAME_MAX_BYTES))
        status.file_name = name->text;
    return status;
}

std::string read_vlc_current_path(std::string_view json) {
    std::optional<std::vector<JsonMember>> members = read_json_object(json, JsonLevels::All);
    if (!members)
        return {};
    const JsonMember* uri = find_current_uri(*members);
    return uri && uri->kind == JsonKind::String ? windows_path_from_file_uri(uri->text) : std::string();
}

std::optional<MpvMessage> read_mpv_line(std::string_view line) {
    std::optional<std::vector<JsonMember>> members = read_json_object(line);
    if (!members)
        return std::nullopt;
    MpvMessage message;
    const JsonMember* name = find_member(*members, "name");
    if (!is_string(find_member(*members, "event"), "property-change"))
        return message;
    const JsonMember* data = find_member(*members, "data");
    if (is_string(name, "time-pos")) {
        message.kind = MpvMessage::Kind::TimePos;
        if (!data || data->kind == JsonKind::Null)
            return message;
        if (!data->number)
            return std::nullopt;
        message.time_pos = *data->number;
    } else if (is_string(name, "pause")) {
        if (!data || data->kind != JsonKind::Bool)
            return std::nullopt;
        message.kind = MpvMessage::Kind::Pause;
        message.paused = data->flag;
    } else if (is_string(name, "speed")) {
        if (!data || !data->number || !(*data->number > 0.0))
            return std::nullopt;
        message.kind = MpvMessage::Kind::Speed;
        message.speed = *data->number;
    } else if (is_string(name, "path")) {
        message.kind = MpvMessage::Kind::Path;
        if (!data || data->kind == JsonKind::Null)
            return message;
        if (data->kind != JsonKind::String)
            return std::nullopt;
        message.path = data->text;
    } else if (is_string(name, "duration")) {
        message.kind = MpvMessage::Kind::Duration;
        if (!data || data->kind == JsonKind::Null)
            return message;
        if (!data->number || !(*data->number >= 0.0))
            return std::nullopt;
        message.duration = *data->number;
    }
    return message;
}

std::string mpv_observe_commands() {
    return "{\"command\":[\"observe_property\",1,\"time-pos\"]}\n"
           "{\"command\":[\"observe_property\",2,\"pause\"]}\n"
           "{\"command\":[\"observe_property\",3,\"speed\"]}\n";
}

std::string mpv_observe_playing_commands() {
    return "{\"command\":[\"observe_property\",4,\"path\"]}\n"
           "{\"command\":[\"observe_property\",5,\"duration\"]}\n";
}

}  // namespace dvbk
