// What VLC and mpv tell us about their playback position, read from the text they send back, and
// the commands that ask mpv to send it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace dvbk {

enum class PlayerState { Playing, Paused, Stopped };

// What VLC's HTTP interface says in /requests/status.json (VLC 3: "time" and "length" in whole
// seconds, "position" a 0..1 fraction, "state" "playing" | "paused" | "stopped").
struct VlcStatus {
    PlayerState state = PlayerState::Stopped;
    double time = 0.0;       // whole seconds as VLC sends them
    double length = 0.0;     // whole seconds; 0 when unknown
    double position = -1.0;  // 0..1, or -1 when absent
    double rate = 1.0;       // playback speed; 1 when absent or not above 0
    // information.category.meta.filename: the name of what plays, "Film (2021).mkv"; empty when
    // absent, not a string, or not fit to keep (see fits_as_name, MEDIA_NAME_MAX_BYTES).
    std::string file_name{};
};

// nullopt unless the body is one JSON object with a "state" of "playing", "paused" or "stopped" and
// a numeric "time". Any other state ("unknown" while VLC opens a file) gives nullopt too: ask again
// later. "length" and "position" may be missing or null; present, they must be numbers. A negative
// length counts as unknown. Other members, nested or not, are skipped, but for the file's name.
std::optional<VlcStatus> read_vlc_status(std::string_view json);

// The local path of the item that VLC's /requests/playlist.json marks "current" (its "uri", at
// any depth of "children"), as windows_path_from_file_uri reads it; empty when the text is no
// playlist, no item is current, or the current one is no local file (http://...).
std::string read_vlc_current_path(std::string_view json);

// One line from mpv's JSON IPC.
struct MpvMessage {
    enum class Kind { TimePos, Pause, Speed, Path, Duration, Other };
    Kind kind = Kind::Other;
    std::optional<double> time_pos;     // TimePos: seconds, or nullopt when nothing is loaded
    bool paused = false;                // Pause
    double speed = 1.0;                 // Speed: above 0
    std::optional<std::string> path{};  // Path: as mpv was given it, or nullopt when nothing is loaded
    std::optional<double> duration{};   // Duration: seconds, or nullopt when unknown
};

// {"event":"property-change","id":1,"name":"time-pos","data":12.345} -> TimePos 12.345
// {"event":"property-change","id":2,"name":"pause","data":true}      -> Pause true
// {"event":"property-change","id":3,"name":"speed","data":1.5}       -> Speed 1.5
// A time-pos change with "data":null, or with no "data" (how mpv says the property is unavailable),
// is TimePos without a time. Any other JSON object (command replies, other events) is Other.
// {"event":"property-change","id":4,"name":"path","data":"C:\\Films\\Film.mkv"} -> Path
// {"event":"property-change","id":5,"name":"duration","data":5400.5}           -> Duration 5400.5
// A path or duration change with null or no data is Path or Duration without a value.
// nullopt for a line that is not one JSON object, and for a change we follow whose data is of the
// wrong type or out of range. A trailing "\r" is allowed.
std::optional<MpvMessage> read_mpv_line(std::string_view line);

// The commands sent on connecting, each ended by "\n", that make mpv report every change of
// time-pos (id 1), pause (id 2) and speed (id 3).
std::string mpv_observe_commands();

// Sent with them: the commands that make mpv report what it plays, path (id 4) and duration (id 5).
std::string mpv_observe_playing_commands();

}  // namespace dvbk
