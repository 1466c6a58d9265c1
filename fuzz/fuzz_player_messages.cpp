// Any bytes as a VLC status body, as an mpv line, and as mpv's stream cut into lines wherever the
// reads happen to end: nothing undefined, nothing unbounded, the same lines however the stream is
// cut, and whatever is read back is a finite time the playback clock can take. The same bytes as
// VLC's playlist, as a path given to mpv, as a page's address and as a reply of each player: what
// plays is told within bounds, as the reader keeps it, and never twice for the same reply.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "players/player_reports.h"
#include "text/c_locale.h"
#include "wire/line_assembler.h"
#include "wire/media_location.h"
#include "wire/player_messages.h"

namespace {

using dvbk::MEDIA_NAME_MAX_BYTES;
using dvbk::MEDIA_PATH_MAX_BYTES;

bool empty_or_fits(const std::string& text, std::size_t max_bytes) {
    return text.empty() || dvbk::fits_as_name(text, max_bytes);
}

// A full Windows path: on a drive or a server, with "\" only, ending in a name.
bool is_full_path(const std::string& path) {
    bool rooted = (path.size() > 3 && path[1] == ':' && path[2] == '\\') || path.rfind("\\\\", 0) == 0;
    return rooted && path.find('/') == std::string::npos && empty_or_fits(path, MEDIA_PATH_MAX_BYTES) &&
           !dvbk::last_path_part(path).empty();
}

bool is_page(const std::string& page) {
    return page.empty() ||
           (page.size() <= dvbk::PAGE_ADDRESS_MAX_BYTES && dvbk::fits_as_name(page, page.size()) &&
            page.find(' ') == std::string::npos && dvbk::equals_ignoring_case(page.substr(0, 4), "http"));
}

void check_source(const dvbk::PlayedSource& source) {
    if (!empty_or_fits(source.file_name, MEDIA_NAME_MAX_BYTES) ||
        (!source.path.empty() && !is_full_path(source.path)) || !is_page(source.page) || !(source.duration >= 0.0))
        std::abort();
}

void check_told_once(dvbk::ClockSource player, std::string_view text) {
    dvbk::PlayerReader reader{player};
    dvbk::PlayerReply reply{1000, 0, true, std::string(text), {}};
    reply.playlist = reply.text;
    std::optional<dvbk::PlayedSource> told = dvbk::report_from_reply(reader, reply).source;
    if (told && *told != reader.played)
        std::abort();
    check_source(reader.played);
    if (dvbk::report_from_reply(reader, reply).source)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    if (std::optional<dvbk::VlcStatus> status = dvbk::read_vlc_status(text)) {
        if (!std::isfinite(status->time) || !std::isfinite(status->length) || status->length < 0.0 ||
            !std::isfinite(status->position) || !empty_or_fits(status->file_name, MEDIA_NAME_MAX_BYTES))
            std::abort();
    }
    if (std::optional<dvbk::MpvMessage> message = dvbk::read_mpv_line(text)) {
        if (message->time_pos &&
            (message->kind != dvbk::MpvMessage::Kind::TimePos || !std::isfinite(*message->time_pos)))
            std::abort();
        if (message->duration && (message->kind != dvbk::MpvMessage::Kind::Duration ||
                                  !std::isfinite(*message->duration) || *message->duration < 0.0))
            std::abort();
    }
    std::string path = dvbk::read_vlc_current_path(text);
    if (!path.empty() && !is_full_path(path))
        std::abort();
    dvbk::MediaFile file = dvbk::media_file_from_player_path(text);
    if (!empty_or_fits(file.name, MEDIA_NAME_MAX_BYTES) || (!file.path.empty() && !is_full_path(file.path)) ||
        (!file.path.empty() && dvbk::last_path_part(file.path) != file.name))
        std::abort();
    if (!is_page(dvbk::page_address(text)))
        std::abort();
    for (dvbk::ClockSource player : {dvbk::ClockSource::Vlc, dvbk::ClockSource::Mpv, dvbk::ClockSource::Browser})
        check_told_once(player, text);
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
