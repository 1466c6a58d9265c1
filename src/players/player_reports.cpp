#include "players/player_reports.h"

#include <algorithm>
#include <utility>

#include "wire/media_location.h"

namespace dvbk {

PlayerReport report_from_vlc(PlayerReader& reader, const VlcStatus& status, double tick, double latest_tick) {
    PlayerReport report;
    report.tick = tick;
    report.latest_tick = latest_tick;
    if (status.state == PlayerState::Stopped) {
        report.stopped = true;
        return report;
    }
    report.paused = status.state == PlayerState::Paused;
    report.position = status.time;
    report.rate = status.rate;
    if (status.length > 0.0 && status.position > 0.0 && status.position <= 1.0) {
        // The length as sent is within a second of the real one, and "time", whole seconds, is the
        // position times the real length rounded down. Each report narrows the range; a new film
        // or an inconsistent pair starts it again.
        if (!(status.length - 1.0 <= reader.length_low && reader.length_high <= status.length + 1.0)) {
            reader.length_low = status.length - 1.0;
            reader.length_high = status.length + 1.0;
        }
        double low = std::max(reader.length_low, status.time / status.position);
        double high = std::min(reader.length_high, (status.time + 1.0) / status.position);
        if (low < high) {
            reader.length_low = low;
            reader.length_high = high;
        } else {
            reader.length_low = status.length - 1.0;
            reader.length_high = status.length + 1.0;
        }
        // The length as sent, unless the pairs have shown it to be off.
        double seconds = status.position * std::clamp(status.length, reader.length_low, reader.length_high);
        report.position = std::clamp(seconds, status.time, status.time + 0.999);
    }
    return report;
}

std::optional<PlayerReport> report_from_mpv(PlayerReader& reader, const MpvMessage& message, double tick) {
    if (message.kind == MpvMessage::Kind::TimePos)
        reader.mpv_time = message.time_pos;
    else if (message.kind == MpvMessage::Kind::Pause)
        reader.mpv_paused = message.paused;
    else if (message.kind == MpvMessage::Kind::Speed)
        reader.mpv_speed = message.speed;
    else
        return std::nullopt;
    PlayerReport report;
    report.tick = tick;
    report.stopped = !reader.mpv_time;
    report.paused = reader.mpv_paused;
    report.position = reader.mpv_time.value_or(0.0);
    report.rate = reader.mpv_speed;
    return report;
}

std::optional<PlayerReport> report_from_browser(const BrowserReport& message, double tick) {
    if (message.kind != BrowserReport::Kind::Video)
        return std::nullopt;
    PlayerReport report;
    // The extension says how long ago the page read the video; it arrived at `tick`.
    report.tick = tick - std::min(message.age_ms, tick);
    report.paused = message.paused;
    report.position = message.current_time;
    report.rate = message.playback_rate;
    report.exact = true;
    return report;
}

bool plausible_report(const PlayerReport& report) {
    // A stopped player's position is not used; its speed is.
    bool position_ok = report.stopped || (report.position >= 0.0 && report.position <= MAX_PLAYER_POSITION);
    return position_ok && report.rate >= MIN_PLAYER_RATE && report.rate <= MAX_PLAYER_RATE;
}

namespace {

// Only a report that passes the one check before the clock goes on.
ReplyReading checked(std::optional<PlayerReport> report) {
    if (report && !plausible_report(*report))
        return {std::nullopt, "impossible position or speed"};
    return {report, {}};
}

constexpr const char* NO_BROWSER_VIDEO = "no video followed in the browser";

// A duration learnt for what plays, when none was known: news. A changed one (a live stream's that
// grows) is not.
std::optional<PlayedSource> learn_duration(PlayerReader& reader, double duration) {
    if (reader.played.duration > 0.0 || !(duration > 0.0))
        return std::nullopt;
    reader.played.duration = duration;
    return reader.played;
}

// Another file is news; the same one told again is not, nor is nothing playing (VLC between files,
// mpv idle), so that a file played again is still the one before.
std::optional<PlayedSource> note_file(PlayerReader& reader, PlayedSource file) {
    if (file.file_name.empty())
        return std::nullopt;
    if (file.file_name == reader.played.file_name && file.path == reader.played.path)
        return learn_duration(reader, file.duration);
    reader.played = std::move(file);
    return reader.played;
}

// VLC names the file in every status, and its path only in the playlist asked for when the name
// changed. The playlist may already name the next file: a path of another name is not this one's.
std::optional<PlayedSource> vlc_source(PlayerReader& reader, const VlcStatus& status, const std::string& playlist) {
    PlayedSource file;
    file.file_name = status.file_name;
    file.duration = status.length;
    if (file.file_name != reader.played.file_name && !playlist.empty()) {
        std::string path = read_vlc_current_path(playlist);
        if (last_path_part(path) == file.file_name)
            file.path = std::move(path);
    } else if (file.file_name == reader.played.file_name) {
        file.path = reader.played.path;
    }
    return note_file(reader, std::move(file));
}

std::optional<PlayedSource> mpv_source(PlayerReader& reader, const MpvMessage& message) {
    if (message.kind == MpvMessage::Kind::Duration && message.duration && !reader.played.file_name.empty())
        return learn_duration(reader, *message.duration);
    if (message.kind != MpvMessage::Kind::Path || !message.path)
        return std::nullopt;
    MediaFile media = media_file_from_player_path(*message.path);
    PlayedSource file;
    file.file_name = std::move(media.name);
    file.path = std::move(media.path);
    // mpv tells the duration after the path, once it has opened the file.
    return note_file(reader, std::move(file));
}

// The followed video is news when it is another one, or in another page (a site that plays the
// next film in the same element); its title alone changing is not.
std::optional<PlayedSource> browser_source(PlayerReader& reader, const BrowserReport& message) {
    double duration = message.duration.value_or(0.0);
    if (message.video == reader.played_video && message.page == reader.played.page) {
        reader.played.title = message.title;
        return learn_duration(reader, duration);
    }
    reader.played_video = message.video;
    reader.played = PlayedSource{};
    reader.played.page = message.page;
    reader.played.title = message.title;
    reader.played.duration = duration;
    return reader.played;
}

// The extension reports one video at a time, and says when it goes before it reports another. A
// report about a video other than the one followed is therefore not the film moving: a page's
// preview, an advert or a second browser. It never reaches the clock, so nothing in force is
// lifted on its account.
ReplyReading read_browser_message(PlayerReader& reader, const BrowserReport& message, double tick) {
    switch (message.kind) {
        case BrowserReport::Kind::Hello:
            reader.browser_video.clear();
            return {};
        case BrowserReport::Kind::Idle:
            reader.browser_video.clear();
            return {std::nullopt, NO_BROWSER_VIDEO};
        case BrowserReport::Kind::Gone:
            if (!reader.browser_video.empty() && message.video != reader.browser_video)
                return {};
            reader.browser_video.clear();
            return {std::nullopt, NO_BROWSER_VIDEO};
        case BrowserReport::Kind::Video:
            break;
        default:
            return {};
    }
    if (reader.browser_video.empty())
        reader.browser_video = message.video;
    if (message.video != reader.browser_video) {
        reader.other_video_title = message.title;
        reader.other_video_tick = tick;
        return {std::nullopt, another_video_text(message.title)};
    }
    ReplyReading reading = checked(report_from_browser(message, tick));
    if (reading.report && reader.other_video_tick && tick < *reader.other_video_tick + OTHER_VIDEO_NOTE_MS)
        reading.problem = another_video_text(reader.other_video_title);
    reading.source = browser_source(reader, message);
    return reading;
}

}  // namespace

std::string another_video_text(const std::string& title) {
    return "Another video plays in the browser: " + title + " (choose it in the extension)";
}

ReplyReading report_from_reply(PlayerReader& reader, const PlayerReply& reply) {
    if (!reply.ok)
        return {std::nullopt, reply.error};
    if (reader.source == ClockSource::Vlc) {
        if (std::optional<VlcStatus> status = read_vlc_status(reply.text)) {
            ReplyReading reading = checked(report_from_vlc(reader, *status, reply.tick, reply.latest_tick));
            reading.source = vlc_source(reader, *status, reply.playlist);
            return reading;
        }
    } else if (reader.source == ClockSource::Browser) {
        if (std::optional<BrowserReport> message = read_browser_report(reply.text))
            return read_browser_message(reader, *message, reply.tick);
    } else if (reader.source == ClockSource::Mpv) {
        if (std::optional<MpvMessage> message = read_mpv_line(reply.text)) {
            ReplyReading reading = checked(report_from_mpv(reader, *message, reply.tick));
            reading.source = mpv_source(reader, *message);
            return reading;
        }
    }
    return {std::nullopt, "unreadable answer"};
}

}  // namespace dvbk
