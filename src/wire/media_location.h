// Where what a player plays comes from, as players and browsers name it (a file's URI, a path as
// typed, a page's address), read into the forms the program keeps. Anything odd gives nothing
// rather than something half right: these are only ever hints about which film plays.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace dvbk {

// A file's name: Windows allows 255 UTF-16 units, at most 765 bytes of UTF-8.
constexpr size_t MEDIA_NAME_MAX_BYTES = 1024;
// A whole path: well past the 260 characters most Windows programs are limited to.
constexpr size_t MEDIA_PATH_MAX_BYTES = 4096;
constexpr size_t PAGE_ADDRESS_MAX_BYTES = 2048;

// Whether `text` can be kept as a name or a path: well-formed UTF-8 of 1 to `max_bytes` bytes
// without control characters (which no Windows file name has, and which would garble a display).
bool fits_as_name(std::string_view text, size_t max_bytes);

// What follows the last "\" or "/"; all of `path` when it has neither.
std::string_view last_path_part(std::string_view path);

// The Windows path a file URI names, as VLC writes them:
//   file:///C:/Films/Film%20%282021%29.mkv -> C:\Films\Film (2021).mkv  (also file://localhost/C:/...)
//   file://server/share/Film.mkv           -> \\server\share\Film.mkv
// Empty for any other URI, a folder (a path ending in "/"), a query or fragment, a bad escape, and
// a path that does not fit as a name of MEDIA_PATH_MAX_BYTES.
std::string windows_path_from_file_uri(std::string_view uri);

struct MediaFile {
    std::string name;  // empty when unknown
    std::string path;  // a full local path; empty when not a local file, or not told in full
};

// The file a player names by what it was given to play, a local path or a URL (as mpv tells it):
//   C:\Films\Film.mkv, C:/Films/Film.mkv, \\server\share\Film.mkv -> that path (with "\"), Film.mkv
//   file:///C:/Films/Film.mkv                                     -> as windows_path_from_file_uri
//   Films\Film.mkv (relative to a folder we do not know)          -> no path, Film.mkv
//   https://example.com/v/Film%20One.mp4?t=1                       -> no path, Film One.mp4
MediaFile media_file_from_player_path(std::string_view given);

// An http or https address with no spaces or control characters, cut to PAGE_ADDRESS_MAX_BYTES
// (not inside a UTF-8 sequence); empty for anything else.
std::string page_address(std::string_view text);

}  // namespace dvbk
