#include "script/copy_maps.h"

#include <algorithm>

namespace dvbk {
namespace {

bool read_pair(std::string_view line, CopyMap& pair) {
    size_t tab = line.find('\t');
    std::string_view script = line.substr(0, tab);
    std::string error;
    if (tab == std::string_view::npos || script.empty() || script.starts_with('#') ||
        script.find_first_of("\r\n") != std::string_view::npos || !read_copy(line.substr(tab + 1), pair.copy, error))
        return false;
    pair.script = script;
    return true;
}

}  // namespace

std::vector<CopyMap> read_copy_maps(std::string_view text) {
    std::vector<CopyMap> maps;
    for (const ScriptLine& line : split_script(text).lines) {
        CopyMap pair;
        if (maps.size() == MAX_COPY_MAPS)
            break;
        if (read_pair(line.text, pair) && !find_copy_map(maps, pair.script, pair.copy.source))
            maps.push_back(std::move(pair));
    }
    return maps;
}

std::string copy_maps_text(const std::vector<CopyMap>& maps, std::string_view line_end) {
    std::string text = "# DunvelBlenk sync memory: script, then copy and map; newest first";
    text += line_end;
    size_t written = 0;
    for (const CopyMap& pair : maps) {
        std::string line = pair.script + '\t' + copy_text(pair.copy);
        CopyMap back;
        if (written == MAX_COPY_MAPS || !read_pair(line, back) || back.script != pair.script ||
            back.copy.source != pair.copy.source)
            continue;
        text += line;
        text += line_end;
        ++written;
    }
    return text;
}

void remember_copy_map(std::vector<CopyMap>& maps, const CopyMap& pair) {
    std::erase_if(maps,
                  [&](const CopyMap& old) { return old.script == pair.script && old.copy.source == pair.copy.source; });
    maps.insert(maps.begin(), pair);
    if (maps.size() > MAX_COPY_MAPS)
        maps.resize(MAX_COPY_MAPS);
}

const CopyMap* find_copy_map(const std::vector<CopyMap>& maps, std::string_view script, const MatchRule& source) {
    auto found = std::find_if(maps.begin(), maps.end(),
                              [&](const CopyMap& pair) { return pair.script == script && pair.copy.source == source; });
    return found == maps.end() ? nullptr : &*found;
}

}  // namespace dvbk
