// The note a muting run leaves beside the settings, "mute_marker.xml": which output it switched
// off, when, and which process it was. The system keeps an output's mute after the process that set
// it is gone, even across restarts; a run that ends without switching it back on (ended from Task
// Manager, a power cut, a crash) is put right by the next one, which finds the note.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dvbk {

// An output the program muted: a Core Audio endpoint by its id, or the legacy mixer.
struct MutedOutput {
    bool mixer = false;
    std::string endpoint_id;  // as IMMDevice::GetId gives it, in UTF-8; empty for the mixer

    bool operator==(const MutedOutput&) const = default;
};

// A process told apart from a later one that gets the same id: its creation time as a FILETIME
// count (100-nanosecond intervals since 1601).
struct ProcessIdentity {
    std::uint32_t id = 0;
    std::uint64_t created = 0;

    bool operator==(const ProcessIdentity&) const = default;
};

struct MuteMarker {
    MutedOutput output;
    std::uint64_t muted_at = 0;  // FILETIME count, UTC
    ProcessIdentity process;

    bool operator==(const MuteMarker&) const = default;
};

// The file's lines, each ended by `line_end`.
std::string mute_marker_text(const MuteMarker& marker, std::string_view line_end = "\n");

// The marker in `text`, or nothing unless it names exactly one output (a non-empty endpoint id or
// the mixer), a process id other than 0 and every number in full: a marker that is not certain of
// its output must not switch any sound on.
std::optional<MuteMarker> read_mute_marker(std::string_view text);

}  // namespace dvbk
