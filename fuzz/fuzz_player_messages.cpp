// Any bytes as a VLC status body, as an mpv line, and as mpv's stream cut into lines wherever the
// reads happen to end: nothing undefined, nothing unbounded, the same lines however the stream is
// cut, and whatever is read back is a finite time the playback clock can take.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "wire/line_assembler.h"
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
    // The first byte says where the reads end (every 1 to 8 bytes); the lines must not depend on it.
    if (size > 0) {
        std::size_t step = data[0] % 8 + 1;
        dvbk::LineAssembler whole(256), pieces(256);
        std::vector<std::string> at_once = whole.feed(text.substr(1));
        std::vector<std::string> piecewise;
        for (std::size_t at = 1; at < size; at += step)
            for (std::string& line : pieces.feed(text.substr(at, step)))
                piecewise.push_back(std::move(line));
        if (at_once != piecewise)
            std::abort();
        for (const std::string& line : at_once) {
            if (line.empty() || line.size() > 256 || line.find('\n') != std::string::npos)
                std::abort();
            dvbk::read_mpv_line(line);
        }
    }
    return 0;
}
