#include "app/user_input.h"

namespace dvbk {

CommandLineRequest classify_command_line(std::string_view tail) {
    if (tail.empty())
        return {StartupRequest::Nothing, ""};
    if (tail == "-h" || tail == "-help" || tail == "--help")
        return {StartupRequest::ShowUsage, ""};
    if (tail.size() >= 2 && tail.front() == '"' && tail.back() == '"')
        tail = tail.substr(1, tail.size() - 2);
    return {StartupRequest::OpenScript, std::string(tail)};
}

std::uint32_t delay_milliseconds(double seconds) {
    double milliseconds = seconds * 1000.0;
    if (!(milliseconds >= 0.0) || milliseconds >= 4294967295.0)
        return 0;
    return static_cast<std::uint32_t>(milliseconds);
}

}  // namespace dvbk
