// Any bytes as the sync memory: the reader takes what it can, at most MAX_COPY_MAPS pairs and each
// pair once; what the writer writes of them reads back to the same pairs, and writes the same text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "script/copy_maps.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<dvbk::CopyMap> maps = dvbk::read_copy_maps(text);
    if (maps.size() > dvbk::MAX_COPY_MAPS)
        std::abort();
    for (std::size_t i = 0; i < maps.size(); ++i) {
        if (dvbk::find_copy_map(maps, maps[i].script, maps[i].copy.source) != &maps[i])
            std::abort();
    }
    std::string written = dvbk::copy_maps_text(maps, "\r\n");
    std::vector<dvbk::CopyMap> back = dvbk::read_copy_maps(written);
    if (back.size() != maps.size() || dvbk::copy_maps_text(back, "\r\n") != written)
        std::abort();
    for (std::size_t i = 0; i < maps.size(); ++i) {
        if (back[i].script != maps[i].script || back[i].copy.source != maps[i].copy.source)
            std::abort();
    }
    return 0;
}
