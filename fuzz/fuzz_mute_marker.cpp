// Any bytes as mute_marker.xml: a marker is read only when it names exactly one output and a real
// process id, and what the writer writes of it reads back the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "settings/mute_marker.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::optional<dvbk::MuteMarker> marker =
        dvbk::read_mute_marker(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!marker)
        return 0;
    if (marker->process.id == 0 || marker->output.mixer == !marker->output.endpoint_id.empty())
        std::abort();
    for (const char* line_end : {"\n", "\r\n"}) {
        if (dvbk::read_mute_marker(dvbk::mute_marker_text(*marker, line_end)) != marker)
            std::abort();
    }
    return 0;
}
