#include "wire/http_exchange.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace dvbk {
namespace {

using namespace std::string_view_literals;

TEST(HttpExchange, GetRequest) {
    EXPECT_EQ(
        "GET /requests/status.json HTTP/1.1\r\nHost: 127.0.0.1:8080\r\nAuthorization: Basic OnNlY3JldA==\r\n"
        "Connection: close\r\n\r\n",
        http_get_request("127.0.0.1", 8080, "/requests/status.json", "secret"));
    EXPECT_EQ("GET / HTTP/1.1\r\nHost: [::1]:80\r\nAuthorization: Basic Og==\r\nConnection: close\r\n\r\n",
              http_get_request("::1", 80, "/", ""));
}

TEST(HttpExchange, ParseResponse) {
    struct Case {
        const char* what;
        std::string_view raw;
        bool ok;
        int status;
        std::string_view body;
    };
    const Case cases[] = {
        {"length", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello", true, 200, "hello"},
        {"bytes past the length", "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nhello", true, 200, "he"},
        {"names in any case", "HTTP/1.1 200 OK\r\ncontent-LENGTH:3\r\n\r\nabcdef", true, 200, "abc"},
        {"bare LF", "HTTP/1.0 200 OK\nContent-Length: 2\n\nhi", true, 200, "hi"},
        {"no reason phrase", "HTTP/1.0 401\r\n\r\n", true, 401, ""},
        {"body to the end", "HTTP/1.1 404 Not Found\r\nServer: x\r\n\r\nmissing\r\n", true, 404, "missing\r\n"},
        {"zero bytes kept", "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\na\0b"sv, true, 200, "a\0b"sv},
        {"chunked", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n6;x=1\r\n world\r\n0\r\n\r\n",
         true, 200, "hello world"},
        {"chunked, hex sizes", "HTTP/1.1 200 OK\r\nTransfer-Encoding: Chunked\r\n\r\nA\r\n0123456789\r\n0\r\n\r\n",
         true, 200, "0123456789"},
        {"chunked beats length",
         "HTTP/1.1 200 OK\r\nContent-Length: 99\r\nTransfer-Encoding: gzip, chunked\r\n\r\n2\r\nok\r\n0\r\n\r\n", true,
         200, "ok"},
        {"chunked, ends at last chunk", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1\r\na\r\n0\r\n", true,
         200, "a"},
        {"other coding: to the end", "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip\r\n\r\n1\r\na", true, 200, "1\r\na"},

        {"nothing", "", false, 0, ""},
        {"garbage", "\x16\x03\x01\x02\x00garbage\r\n\r\n", false, 0, ""},
        {"not HTTP", "ICY 200 OK\r\n\r\n", false, 0, ""},
        {"status cut short", "HTTP/1.1 200 OK", false, 0, ""},
        {"headers cut short", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n", false, 0, ""},
        {"body cut short", "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nhello", false, 0, ""},
        {"four-digit status", "HTTP/1.1 2000 OK\r\n\r\n", false, 0, ""},
        {"no version", "HTTP/ 200 OK\r\n\r\n", false, 0, ""},
        {"negative length", "HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\n", false, 0, ""},
        {"length and letters", "HTTP/1.1 200 OK\r\nContent-Length: 1a\r\n\r\nab", false, 0, ""},
        {"huge length", "HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999\r\n\r\n", false, 0, ""},
        {"two lengths", "HTTP/1.1 200 OK\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\nab", false, 0, ""},
        {"header without colon", "HTTP/1.1 200 OK\r\nContent-Length 1\r\n\r\na", false, 0, ""},
        {"bad chunk size", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n", false, 0, ""},
        {"huge chunk size", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nffffffffffffffffff\r\nab", false, 0,
         ""},
        {"chunk cut short", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhel", false, 0, ""},
        {"chunk overruns", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nhello\r\n0\r\n\r\n", false, 0,
         ""},
        {"no last chunk", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n", false, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::optional<HttpResponse> response = read_http_response(c.raw);
        ASSERT_EQ(c.ok, response.has_value());
        if (response) {
            EXPECT_EQ(c.status, response->status);
            EXPECT_EQ(c.body, response->body);
        }
    }
}

}  // namespace
}  // namespace dvbk
