// The program's start-up request and start delay, decided from text the user gave.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace dvbk {

inline constexpr const char* USAGE_TEXT = "DunvelBlenk.exe \"Filename\"";

enum class StartupRequest { Nothing, ShowUsage, OpenScript };

struct CommandLineRequest {
    StartupRequest request;
    std::string path;  // for OpenScript
};

// The whole command-line tail is one script path; exactly "-h", "-help" or "--help" asks for the
// usage box. One pair of quotation marks around the path is removed: Explorer's "Open with" quotes it.
CommandLineRequest classify_command_line(std::string_view tail);

// The start delay typed beside the Play button, in whole milliseconds for Sleep. A negative delay,
// or one too long to express (2^32 - 1 ms and up, which Sleep would also take as "forever"), waits
// nothing.
std::uint32_t delay_milliseconds(double seconds);

}  // namespace dvbk
