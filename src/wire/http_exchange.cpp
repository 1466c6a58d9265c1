#include "wire/http_exchange.h"

#include <cstdint>

#include "text/c_locale.h"
#include "wire/base64.h"

namespace dvbk {
namespace {

// The line starting at `pos` without its "\n" (and a "\r" before it); false when no "\n" follows,
// that is when the line was cut short. Servers that end lines with a bare LF are read too.
bool next_line(std::string_view text, size_t& pos, std::string_view& line) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos)
        return false;
    line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    pos = end + 1;
    return true;
}

// "HTTP/1.1 200 OK"; some servers leave out the reason phrase.
bool read_status_line(std::string_view line, int& status) {
    if (line.substr(0, 5) != "HTTP/")
        return false;
    size_t space = line.find(' ');
    if (space == std::string_view::npos || space == 5 || line.size() < space + 4)
        return false;
    std::string_view code = line.substr(space + 1, 3);
    if (!is_c_digit(code[0]) || !is_c_digit(code[1]) || !is_c_digit(code[2]) || code[0] == '0')
        return false;
    if (line.size() > space + 4 && line[space + 4] != ' ')
        return false;
    status = (code[0] - '0') * 100 + (code[1] - '0') * 10 + (code[2] - '0');
    return true;
}

// Decimal or hexadecimal digits only, few enough that the value cannot overflow.
bool read_number(std::string_view text, int base, std::uint64_t& value) {
    if (text.empty() || text.size() > 15)
        return false;
    value = 0;
    for (char c : text) {
        int digit;
        if (is_c_digit(c))
            digit = c - '0';
        else if (base == 16 && ascii_lower(c) >= 'a' && ascii_lower(c) <= 'f')
            digit = ascii_lower(c) - 'a' + 10;
        else
            return false;
        value = value * base + digit;
    }
    return true;
}

// True when the last coding listed is "chunked": only then does the sender mark the body's end itself.
bool ends_chunked(std::string_view codings) {
    size_t comma = codings.rfind(',');
    std::string_view last = trim_blanks(comma == std::string_view::npos ? codings : codings.substr(comma + 1));
    return equals_ignoring_case(last, "chunked");
}

std::optional<std::string> read_chunked_body(std::string_view raw, size_t pos) {
    std::string body;
    std::string_view line;
    for (;;) {
        if (!next_line(raw, pos, line))
            return std::nullopt;
        // Chunk extensions after ";" carry nothing we use.
        std::uint64_t size = 0;
        if (!read_number(trim_blanks(line.substr(0, line.find(';'))), 16, size))
            return std::nullopt;
        if (size == 0)
            break;
        if (raw.size() - pos < size)
            return std::nullopt;
        body.append(raw.substr(pos, size));
        pos += size;
        if (!next_line(raw, pos, line) || !line.empty())
            return std::nullopt;
    }
    // Trailer fields may follow the last chunk; nothing in them matters, and the body is complete.
    return body;
}

}  // namespace

std::string http_get_request(std::string_view host, int port, std::string_view path, std::string_view password) {
    std::string request = "GET ";
    request.append(path);
    request += " HTTP/1.1\r\nHost: ";
    // An IPv6 address needs brackets to keep its colons apart from the port's.
    bool bracket = host.find(':') != std::string_view::npos && host.front() != '[';
    if (bracket)
        request += '[';
    request.append(host);
    if (bracket)
        request += ']';
    request += ':';
    request += std::to_string(port);
    std::string credentials = ":";
    credentials.append(password);
    request += "\r\nAuthorization: Basic ";
    request += base64(credentials);
    request += "\r\nConnection: close\r\n\r\n";
    return request;
}

std::optional<HttpResponse> read_http_response(std::string_view raw) {
    HttpResponse response;
    size_t pos = 0;
    std::string_view line;
    if (!next_line(raw, pos, line) || !read_status_line(line, response.status))
        return std::nullopt;

    std::optional<std::uint64_t> content_length;
    bool chunked = false;
    for (;;) {
        if (!next_line(raw, pos, line))
            return std::nullopt;
        if (line.empty())
            break;
        size_t colon = line.find(':');
        if (colon == std::string_view::npos || colon == 0)
            return std::nullopt;
        std::string_view name = line.substr(0, colon);
        std::string_view value = trim_blanks(line.substr(colon + 1));
        if (equals_ignoring_case(name, "Content-Length")) {
            std::uint64_t length = 0;
            // Two different lengths leave no way to tell where the body ends.
            if (!read_number(value, 10, length) || (content_length && *content_length != length))
                return std::nullopt;
            content_length = length;
        } else if (equals_ignoring_case(name, "Transfer-Encoding")) {
            chunked = ends_chunked(value);
        }
    }

    // A transfer coding overrides any length given beside it.
    if (chunked) {
        std::optional<std::string> body = read_chunked_body(raw, pos);
        if (!body)
            return std::nullopt;
        response.body = std::move(*body);
    } else if (content_length) {
        if (raw.size() - pos < *content_length)
            return std::nullopt;
        response.body = raw.substr(pos, *content_length);
    } else {
        response.body = raw.substr(pos);
    }
    return response;
}

}  // namespace dvbk
