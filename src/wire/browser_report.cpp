#include "wire/browser_report.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "text/c_locale.h"
#include "text/utf8.h"
#include "wire/json_reader.h"
#include "wire/media_location.h"

namespace dvbk {
namespace {

using Members = std::vector<JsonMember>;

constexpr double max_double = std::numeric_limits<double>::max();

// A number a double holds (1e999 does not) within [low, high].
bool read_number(const Members& members, std::string_view name, double low, double high, double& value) {
    const JsonMember* member = find_member(members, name);
    if (!member || !member->number || !(*member->number >= low && *member->number <= high))
        return false;
    value = *member->number;
    return true;
}

// Browsers number tabs and versions with small whole numbers; a fraction is no tab.
bool read_int(const Members& members, std::string_view name, int& value) {
    double number = 0.0;
    if (!read_number(members, name, -2147483648.0, 2147483647.0, number) || number != std::floor(number))
        return false;
    value = static_cast<int>(number);
    return true;
}

// A video's name is shown nowhere and compared only; the few characters allowed keep it so.
bool read_video_name(const Members& members, std::string& name) {
    const JsonMember* member = find_member(members, "video");
    if (!member || member->kind != JsonKind::String || member->text.empty() ||
        member->text.size() > BROWSER_VIDEO_MAX_BYTES)
        return false;
    for (char c : member->text) {
        bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                    c == '.' || c == '_' || c == ':';
        if (!safe)
            return false;
    }
    name = member->text;
    return true;
}

bool read_video(const Members& members, BrowserReport& report) {
    const JsonMember* title = find_member(members, "title");
    const JsonMember* paused = find_member(members, "paused");
    const JsonMember* duration = find_member(members, "duration");
    if (!read_int(members, "tab", report.tab) || !read_video_name(members, report.video) || !title ||
        title->kind != JsonKind::String || !paused || paused->kind != JsonKind::Bool)
        return false;
    if (!read_number(members, "currentTime", 0.0, max_double, report.current_time) ||
        !read_number(members, "playbackRate", 0.0, 16.0, report.playback_rate) || report.playback_rate == 0.0 ||
        !read_number(members, "age", 0.0, 60000.0, report.age_ms))
        return false;
    if (duration && duration->kind != JsonKind::Null) {
        double seconds = 0.0;
        if (!read_number(members, "duration", 0.0, max_double, seconds))
            return false;
        report.duration = seconds;
    }
    // Only a hint of which film plays: an address we do not take is as good as none.
    const JsonMember* url = find_member(members, "url");
    if (url && url->kind == JsonKind::String)
        report.page = page_address(url->text);
    report.paused = paused->flag;
    // The title is shown in our window, where a line break or a NUL would cut or garble it.
    report.title = cut_utf8(title->text, BROWSER_TITLE_MAX_BYTES);
    std::replace_if(report.title.begin(), report.title.end(), is_c_control, ' ');
    return true;
}

}  // namespace

std::optional<BrowserReport> read_browser_report(std::string_view text) {
    std::optional<Members> members = read_json_object(text);
    if (!members)
        return std::nullopt;
    const JsonMember* type = find_member(*members, "type");
    if (!type || type->kind != JsonKind::String)
        return std::nullopt;
    BrowserReport report;
    if (type->text == "hello") {
        report.kind = BrowserReport::Kind::Hello;
        if (!read_int(*members, "version", report.version))
            return std::nullopt;
    } else if (type->text == "video") {
        report.kind = BrowserReport::Kind::Video;
        if (!read_video(*members, report))
            return std::nullopt;
    } else if (type->text == "gone") {
        report.kind = BrowserReport::Kind::Gone;
        if (!read_int(*members, "tab", report.tab) || !read_video_name(*members, report.video))
            return std::nullopt;
    } else if (type->text == "idle") {
        report.kind = BrowserReport::Kind::Idle;
    }
    return report;
}

std::string browser_status_message(BrowserPermission permission) {
    const char* state = permission == BrowserPermission::Allowed   ? "allowed"
                        : permission == BrowserPermission::Pending ? "pending"
                                                                   : "refused";
    return std::string("{\"type\":\"status\",\"state\":\"") + state + "\"}";
}

}  // namespace dvbk
