// Any bytes as what a web server sent back: nothing undefined, a body never larger than the text
// it came from, and a body that was read is read the same again when resent with a length or in
// chunks.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "wire/http_exchange.h"

namespace {

void check_resent(const dvbk::HttpResponse& response, const std::string& head) {
    std::optional<dvbk::HttpResponse> back = dvbk::read_http_response(head + response.body);
    if (!back || back->status != response.status || back->body != response.body)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view raw(reinterpret_cast<const char*>(data), size);
    std::optional<dvbk::HttpResponse> response = dvbk::read_http_response(raw);
    if (!response)
        return 0;
    if (response->status < 100 || response->status > 999 || response->body.size() > size)
        std::abort();
    std::string status_line = "HTTP/1.1 " + std::to_string(response->status) + " X\r\n";
    check_resent(*response, status_line + "Content-Length: " + std::to_string(response->body.size()) + "\r\n\r\n");
    if (!response->body.empty()) {
        char size_line[32];
        std::snprintf(size_line, sizeof size_line, "%zx\r\n", response->body.size());
        std::optional<dvbk::HttpResponse> chunked = dvbk::read_http_response(
            status_line + "Transfer-Encoding: chunked\r\n\r\n" + size_line + response->body + "\r\n0\r\n\r\n");
        if (!chunked || chunked->body != response->body)
            std::abort();
    }
    return 0;
}
