// Any bytes as a VLC status body and as an mpv line: nothing undefined, nothing unbounded, and
// whatever is read back is a finite time the playback clock can take.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "wire/player_messages.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    if (std::optional<dvbk::VlcStatus> status = dvbk::read_vlc_status(text)) {
        if (!std::isfinite(status->time) || !std::isfinite(status->length) || status->length < 0.0 ||
            !std::isfinite(status->position))
            std::abort();
    }
    if (std::optional<dvbk::MpvMessage> message = dvbk::read_mpv_line(text)) {
        if (message->time_pos &&
            (message->kind != dvbk::MpvMessage::Kind::TimePos || !std::isfinite(*message->time_pos)))
            std::abort();
    }
    return 0;
}
