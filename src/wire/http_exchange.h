// The HTTP text of one poll of VLC's web interface: the request we send and the reading of the
// whole answer once the server has closed the connection. No sockets here.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace dvbk {

// A GET with VLC's kind of Basic authentication (an empty user name and the password) that asks
// the server to close the connection after answering, so the answer ends where the stream ends.
std::string http_get_request(std::string_view host, int port, std::string_view path, std::string_view password);

struct HttpResponse {
    int status = 0;
    std::string body;
};

// A whole answer read until the peer closed: the status line, the headers (names in any case),
// then the body by Content-Length, by chunked transfer coding, or up to the end. nullopt when the
// text is not an HTTP answer or was cut short (fewer body bytes than announced, bad chunk sizes).
std::optional<HttpResponse> read_http_response(std::string_view raw);

}  // namespace dvbk
