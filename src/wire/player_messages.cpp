#include "wire/player_messages.h"

#include <vector>

#include "wire/json_reader.h"

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

}  // namespace

std::optional<VlcStatus> read_vlc_status(std::string_view json) {
    std::optional<std::vector<JsonMember>> members = read_json_object(json);
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
    return status;
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
    }
    return message;
}

std::string mpv_observe_commands() {
    return "{\"command\":[\"observe_property\",1,\"time-pos\"]}\n"
           "{\"command\":[\"observe_property\",2,\"pause\"]}\n"
           "{\"command\":[\"observe_property\",3,\"speed\"]}\n";
}

}  // namespace dvbk
