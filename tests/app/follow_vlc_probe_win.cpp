// Measures how closely the running program follows a real VLC: asks VLC for its status every
// few ms and the program for its clock at the same moment, pauses and seeks VLC on the way, and
// compares the two whenever VLC has just moved its position (only then is VLC's own figure fresh).
//
//   follow_vlc_probe PORT PASSWORD CLIP_SECONDS RUN_SECONDS [FILE_NAME]
//
// First, with FILE_NAME, it checks that the program's own link and reader learn from VLC that this
// file plays, and for how long.
// Prints the error figures; fails when the program does not follow at all (p95 beyond a quarter of
// a second, five times what it is built for), never on the precise figures.
// Winsock 2 comes before <windows.h>, which would bring in the old Winsock.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "percentile.h"
#include "players/player_link_win.h"
#include "players/player_reports.h"
#include "resources/window_names.h"
#include "wire/http_exchange.h"
#include "wire/player_messages.h"

namespace {

using namespace dvbk;

double milliseconds_now() {
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The body of a 200 answer; `sent` is when the request went (milliseconds_now()).
std::optional<std::string> http_get(int port, const std::string& password, const std::string& path,
                                    double* sent = nullptr) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET)
        return std::nullopt;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string raw;
    if (connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        std::string request = http_get_request("127.0.0.1", port, path, password);
        send(s, request.data(), static_cast<int>(request.size()), 0);
        if (sent)
            *sent = milliseconds_now();
        char buffer[16384];
        int got = 0;
        while ((got = recv(s, buffer, sizeof buffer, 0)) > 0)
            raw.append(buffer, static_cast<size_t>(got));
    }
    closesocket(s);
    std::optional<HttpResponse> response = read_http_response(raw);
    if (!response || response->status != 200)
        return std::nullopt;
    return response->body;
}

// What plays, as the link to VLC and the reader of its replies tell it: the file's name, its length
// and, where VLC has a Windows one, its path, from the playlist the link asks for with the first
// status that names the file, and not again.
bool vlc_plays(int port, const std::string& password, const std::string& file_name) {
    std::unique_ptr<PlayerLink> link = start_vlc_link(nullptr, 0, "127.0.0.1", port, password);
    PlayerReader reader{ClockSource::Vlc};
    int playlists = 0;
    int replies_after = 0;
    std::optional<PlayedSource> told;
    for (ULONGLONG deadline = GetTickCount64() + 5000; GetTickCount64() < deadline && replies_after < 5; Sleep(20)) {
        for (const PlayerReply& reply : link->take()) {
            playlists += reply.playlist.empty() ? 0 : 1;
            replies_after += told ? 1 : 0;
            if (std::optional<PlayedSource> source = report_from_reply(reader, reply).source; source && !told)
                told = source;
        }
    }
    if (!told) {
        std::fprintf(stderr, "follow_vlc_probe: the link never told what VLC plays\n");
        return false;
    }
    std::printf("VLC plays %s, %.0f s, path \"%s\"; playlists asked: %d\n", told->file_name.c_str(), told->duration,
                told->path.c_str(), playlists);
    return told->file_name == file_name && told->duration > 0.0 && playlists == 1 && replies_after >= 5;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5 && argc != 6) {
        std::fprintf(stderr, "usage: follow_vlc_probe PORT PASSWORD CLIP_SECONDS RUN_SECONDS [FILE_NAME]\n");
        return 2;
    }
    int port = std::atoi(argv[1]);
    std::string password = argv[2];
    double clip = std::atof(argv[3]);
    double run = std::atof(argv[4]) * 1000.0;
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    if (argc == 6 && !vlc_plays(port, password, argv[5]))
        return 1;
    HWND program = FindWindowA(dvbk::MAIN_WINDOW_CLASS, nullptr);
    UINT query = RegisterWindowMessageA(dvbk::POSITION_QUERY_MESSAGE);
    if (!program) {
        std::fprintf(stderr, "follow_vlc_probe: the program's window is not there\n");
        return 1;
    }

    // What the probe does to VLC on the way, at these milliseconds from the start.
    struct Command {
        double at;
        const char* path;
        bool done;
    };
    Command commands[] = {
        {run * 0.30, "/requests/status.json?command=pl_pause", false},  // pause
        {run * 0.40, "/requests/status.json?command=pl_pause", false},  // play on
        {run * 0.60, "/requests/status.json?command=seek&val=%2B20", false},
        {run * 0.80, "/requests/status.json?command=seek&val=-30", false},
    };

    std::vector<double> errors;
    std::vector<double> errors_settled;  // not within a second of a command
    double start = milliseconds_now();
    double last_command = -1e9;
    double previous_poll = 0.0;
    double previous_value = -1.0;
    bool previous_playing = false;
    while (milliseconds_now() - start < run) {
        double now = milliseconds_now() - start;
        for (Command& command : commands) {
            if (!command.done && now >= command.at) {
                http_get(port, password, command.path);
                command.done = true;
                last_command = now;
                previous_value = -1.0;
            }
        }
        double asked = milliseconds_now() - start;
        double sent = start + asked;  // unless the request goes
        std::optional<std::string> body = http_get(port, password, "/requests/status.json", &sent);
        double answered = milliseconds_now() - start;
        // When VLC read its position: as soon as the request reached it. Its web server builds the
        // answer at once but sends it only after its next 20 ms wait, so the middle of the request
        // would be some 10 ms late.
        double snapshot = sent - start;
        DWORD_PTR program_ms = 0;
        bool read = SendMessageTimeoutA(program, query, 0, 0, SMTO_ABORTIFHUNG, 1000, &program_ms) != 0;
        double program_replied = milliseconds_now() - start;
        double program_at = (answered + program_replied) / 2.0;
        std::optional<VlcStatus> status = body ? read_vlc_status(*body) : std::nullopt;
        // A reading is only as good as its timing: skip those where the probe itself was held up.
        bool timed_well = answered - asked < 40.0 && program_replied - answered < 10.0;
        if (status && read && status->position >= 0.0) {
            bool playing = status->state == PlayerState::Playing;
            double value = status->position * clip;
            // VLC set this value between the previous snapshot and this one. Half-way is a good
            // guess only while they are close: after a reading held up (VLC slow to answer, the
            // probe not run), when VLC set it is unknown by half the gap.
            bool bracketed = snapshot - previous_poll < 60.0;
            if (timed_well && bracketed && playing && previous_playing && previous_value >= 0.0 &&
                value != previous_value) {
                double set_at = (previous_poll + snapshot) / 2.0;
                double truth = value + (program_at - set_at) / 1000.0;
                double signed_error = static_cast<double>(static_cast<LONG_PTR>(program_ms)) / 1000.0 - truth;
                double error = std::abs(signed_error);
                if (std::getenv("DVBK_PROBE_TRACE"))
                    std::fprintf(stderr, "%.0f %.3f %.1f\n", now, value, signed_error * 1000.0);
                errors.push_back(error * 1000.0);
                if (now - last_command > 1000.0)
                    errors_settled.push_back(error * 1000.0);
            }
            previous_value = value;
            previous_playing = playing;
        }
        previous_poll = snapshot;
        Sleep(5);
    }
    if (errors.empty() || errors_settled.empty()) {
        std::fprintf(stderr, "follow_vlc_probe: no fresh reports from VLC\n");
        return 1;
    }
    std::printf(
        "following VLC: %zu fresh reports; |program - VLC| p50 %.1f ms, p95 %.1f ms, max %.1f ms; "
        "away from the pause and seeks (%zu): p95 %.1f ms, max %.1f ms\n",
        errors.size(), percentile(errors, 0.5), percentile(errors, 0.95), percentile(errors, 1.0),
        errors_settled.size(), percentile(errors_settled, 0.95), percentile(errors_settled, 1.0));
    return percentile(errors, 0.95) <= 250.0 ? 0 : 1;
}
