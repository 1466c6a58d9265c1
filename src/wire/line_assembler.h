// Cuts a byte stream into lines as pieces of it arrive: mpv's IPC sends one JSON object a line,
// and a read may end in the middle of one or hold several.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace dvbk {

class LineAssembler {
public:
    // Lines of more than `max_line` bytes before their "\n" are dropped whole.
    explicit LineAssembler(size_t max_line = 64 * 1024) : max_line_(max_line) {}

    // The lines completed by `bytes`, without their "\n" (and a "\r" before it); empty lines are
    // left out, as they carry nothing.
    std::vector<std::string> feed(std::string_view bytes);

private:
    size_t max_line_;
    std::string partial_;
    bool dropping_ = false;  // inside a line already too long, waiting for its end
};

}  // namespace dvbk
