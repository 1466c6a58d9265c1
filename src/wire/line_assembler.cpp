#include "wire/line_assembler.h"

namespace dvbk {

std::vector<std::string> LineAssembler::feed(std::string_view bytes) {
    std::vector<std::string> lines;
    while (!bytes.empty()) {
        size_t newline = bytes.find('\n');
        std::string_view piece = bytes.substr(0, newline);
        bytes.remove_prefix(newline == std::string_view::npos ? bytes.size() : newline + 1);
        // Never hold more than one line's worth, however long the sender goes on without a "\n".
        if (!dropping_ && partial_.size() + piece.size() > max_line_) {
            dropping_ = true;
            partial_.clear();
        }
        if (!dropping_)
            partial_.append(piece);
        if (newline == std::string_view::npos)
            break;
        if (!dropping_) {
            if (!partial_.empty() && partial_.back() == '\r')
                partial_.pop_back();
            if (!partial_.empty())
                lines.push_back(std::move(partial_));
        }
        partial_.clear();
        dropping_ = false;
    }
    return lines;
}

}  // namespace dvbk
