// What the browser extension reports about the video it follows, read from one of its text
// messages, and the status message the program sends it back.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace dvbk {

constexpr size_t BROWSER_TITLE_MAX_BYTES = 200;
// A video's name: letters, digits and "-._:", 1 to 64 of them.
constexpr size_t BROWSER_VIDEO_MAX_BYTES = 64;

struct BrowserReport {
    enum class Kind { Hello, Video, Gone, Idle, Other };
    Kind kind = Kind::Other;
    int version = 0;  // Hello
    int tab = 0;      // Video, Gone
    // Video, Gone: which video, by a name the extension keeps for that element while it is in its
    // page; another name is another video, even in the same tab.
    std::string video;
    // Video:
    std::string title;          // at most 200 bytes, control characters turned to spaces
    double current_time = 0.0;  // seconds, finite, >= 0
    bool paused = false;
    double playback_rate = 1.0;      // finite, 0 < rate <= 16
    std::optional<double> duration;  // seconds; nullopt when unknown (a live stream)
    double age_ms = 0.0;             // how long before sending the values were read, 0..60000
    // The address of the tab's page (the top one, also for a video in a frame), as page_address
    // reads "url"; empty when left out (older extensions, pages that are not http or https).
    std::string page{};
};

// {"type":"hello","version":1}
// {"type":"video","tab":12,"video":"12:0:k2x9:3","title":"...","currentTime":12.3,"paused":false,
//  "playbackRate":1,"duration":5400.5,"age":3.2,"url":"https://..."}
//                               ("duration" may be null or left out; "url" may be left out)
// {"type":"gone","tab":12,"video":"12:0:k2x9:3"}
// {"type":"idle"}
// Any other "type" string is Other, so that a newer extension's messages can be passed over.
// nullopt for anything but one JSON object with a string "type", and for a known type whose
// members are missing, of the wrong type, or out of range. Unknown members are skipped.
std::optional<BrowserReport> read_browser_report(std::string_view text);

enum class BrowserPermission { Allowed, Pending, Refused };

// {"type":"status","state":"allowed"}, "pending" or "refused".
std::string browser_status_message(BrowserPermission permission);

}  // namespace dvbk
