#include "wire/media_location.h"

#include <algorithm>
#include <optional>

#include "text/c_locale.h"
#include "text/utf8.h"

namespace dvbk {
namespace {

bool is_letter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool starts_with_ignoring_case(std::string_view text, std::string_view start) {
    return text.size() >= start.size() && equals_ignoring_case(text.substr(0, start.size()), start);
}

// "%20" and the like decoded; nullopt for a "%" without two hex digits after it.
std::optional<std::string> percent_decoded(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        int high = i + 2 < text.size() ? hex_digit_value(text[i + 1]) : -1;
        int low = i + 2 < text.size() ? hex_digit_value(text[i + 2]) : -1;
        if (high < 0 || low < 0)
            return std::nullopt;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

// "http:", "dvd:", "ytdl:"... followed by "//": a URL rather than a path. A drive letter is no scheme.
bool has_scheme(std::string_view text) {
    size_t colon = text.find("://");
    if (colon == std::string_view::npos || colon < 2 || !is_letter(text[0]))
        return false;
    return std::all_of(text.begin(), text.begin() + colon,
                       [](char c) { return is_letter(c) || is_c_digit(c) || c == '+' || c == '-' || c == '.'; });
}

bool is_absolute_windows_path(std::string_view path) {
    bool drive = path.size() >= 3 && is_letter(path[0]) && path[1] == ':' && path[2] == '\\';
    bool unc = path.size() >= 3 && path[0] == '\\' && path[1] == '\\' && path[2] != '\\';
    return drive || unc;
}

std::string with_backslashes(std::string text) {
    std::replace(text.begin(), text.end(), '/', '\\');
    return text;
}

std::string name_of(std::string_view path) {
    std::string_view name = last_path_part(path);
    return fits_as_name(name, MEDIA_NAME_MAX_BYTES) ? std::string(name) : std::string();
}

}  // namespace

bool fits_as_name(std::string_view text, size_t max_bytes) {
    return !text.empty() && text.size() <= max_bytes && is_valid_utf8(text) &&
           std::none_of(text.begin(), text.end(), is_c_control);
}

std::string_view last_path_part(std::string_view path) {
    size_t separator = path.find_last_of("\\/");
    return separator == std::string_view::npos ? path : path.substr(separator + 1);
}

std::string windows_path_from_file_uri(std::string_view uri) {
    constexpr std::string_view scheme = "file://";
    if (!starts_with_ignoring_case(uri, scheme) || uri.find_first_of("?#") != std::string_view::npos)
        return {};
    std::string_view rest = uri.substr(scheme.size());
    size_t slash = rest.find('/');
    if (slash == std::string_view::npos)
        return {};
    std::string_view host = rest.substr(0, slash);
    std::optional<std::string> decoded = percent_decoded(rest.substr(slash));
    if (!decoded)
        return {};
    std::string path;
    if (host.empty() || equals_ignoring_case(host, "localhost")) {
        // "/C:/Films/Film.mkv"
        if (decoded->size() < 4 || !is_letter((*decoded)[1]) || (*decoded)[2] != ':' || (*decoded)[3] != '/')
            return {};
        path = decoded->substr(1);
    } else {
        bool plain_host = std::all_of(host.begin(), host.end(), [](char c) {
            return is_letter(c) || is_c_digit(c) || c == '-' || c == '.' || c == '_';
        });
        if (!plain_host)
            return {};
        path = "//" + std::string(host) + *decoded;
    }
    path = with_backslashes(std::move(path));
    if (!fits_as_name(path, MEDIA_PATH_MAX_BYTES) || last_path_part(path).empty())
        return {};
    return path;
}

MediaFile media_file_from_player_path(std::string_view given) {
    MediaFile file;
    if (starts_with_ignoring_case(given, "file://")) {
        file.path = windows_path_from_file_uri(given);
        file.name = name_of(file.path);
    } else if (has_scheme(given)) {
        std::string_view address = given.substr(0, given.find_first_of("?#"));
        size_t path_start = address.find('/', address.find("://") + 3);
        if (path_start != std::string_view::npos) {
            if (std::optional<std::string> name = percent_decoded(last_path_part(address.substr(path_start))))
                file.name = name_of(*name);
        }
    } else if (fits_as_name(given, MEDIA_PATH_MAX_BYTES)) {
        std::string path = with_backslashes(std::string(given));
        file.name = name_of(path);
        if (!file.name.empty() && is_absolute_windows_path(path))
            file.path = std::move(path);
    }
    return file;
}

std::string page_address(std::string_view text) {
    size_t start = starts_with_ignoring_case(text, "http://") ? 7 : starts_with_ignoring_case(text, "https://") ? 8 : 0;
    if (start == 0 || text.size() == start || !is_valid_utf8(text) ||
        std::any_of(text.begin(), text.end(), [](char c) { return c == ' ' || is_c_control(c); }))
        return {};
    return std::string(cut_utf8(text, PAGE_ADDRESS_MAX_BYTES));
}

}  // namespace dvbk
