// The link to mpv's IPC pipe: it asks mpv to report the properties we follow and passes on each
// line mpv writes. mpv needs no Winsock, but the links' shared part brings it in before <windows.h>.
#include "players/link_thread_win.h"

#include "players/player_link_win.h"

#include <string_view>
#include <utility>

#include "base/scoped_win.h"
#include "clock/playback_clock.h"
#include "settings/settings_file.h"
#include "wire/line_assembler.h"
#include "wire/player_messages.h"

namespace dvbk {
namespace {

constexpr DWORD WRITE_TIMEOUT_MS = 1000;
constexpr DWORD PIPE_RETRY_MS = 500;

class MpvLink : public PlayerLink {
public:
    MpvLink(HWND window, UINT message, std::string pipe_name)
        : pipe_name_(std::move(pipe_name)), thread_(window, message) {
        thread_.start([this] { run(); });
    }
    ~MpvLink() override { thread_.stop(); }

    std::vector<PlayerReply> take() override { return thread_.take(); }

private:
    enum class Io { Done, Failed, Stopped };

    void run() {
        // Only a change is worth telling: the same failure every half second would bury the rest.
        std::string last_error;
        if (!is_local_pipe_name(pipe_name_)) {
            thread_.push(error_reply("not a pipe on this computer: " + pipe_name_ + " (\\\\.\\pipe\\NAME)"));
            return;
        }
        for (;;) {
            // Whoever serves the pipe may learn who we are, never act as us.
            ScopedHandle pipe(CreateFileA(pipe_name_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                          FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION,
                                          nullptr));
            std::string error;
            if (pipe.valid()) {
                last_error.clear();
                error = talk(pipe.get());
                if (error.empty())
                    return;
            } else {
                error = open_error_text(GetLastError());
            }
            if (error != last_error)
                thread_.push(error_reply(error));
            last_error = error;
            if (thread_.wait(nullptr, PIPE_RETRY_MS) == Wait::Stopped)
                return;
        }
    }

    std::string open_error_text(DWORD code) const {
        switch (code) {
            case ERROR_FILE_NOT_FOUND:
            case ERROR_PATH_NOT_FOUND:
                return "pipe " + pipe_name_ + " not found";
            case ERROR_PIPE_BUSY:
                return "pipe " + pipe_name_ + " busy";
            case ERROR_ACCESS_DENIED:
                return "pipe " + pipe_name_ + ": access denied";
            default:
                return with_code(("cannot open pipe " + pipe_name_).c_str(), code);
        }
    }

    // Asks mpv for the properties we follow, then delivers its lines until the pipe breaks (the
    // result says so) or the link stops (the result is empty).
    std::string talk(HANDLE pipe) {
        const std::string observe = mpv_observe_commands() + mpv_observe_playing_commands();
        OVERLAPPED write{};
        write.hEvent = io_.get();
        DWORD written = 0;
        if (!WriteFile(pipe, observe.data(), static_cast<DWORD>(observe.size()), nullptr, &write) &&
            GetLastError() != ERROR_IO_PENDING)
            return "disconnected";
        Io io = finish(pipe, write, WRITE_TIMEOUT_MS, written);
        if (io != Io::Done || written != observe.size())
            return io == Io::Stopped ? "" : "disconnected";

        LineAssembler lines;
        char buffer[4096];
        for (;;) {
            OVERLAPPED read{};
            read.hEvent = io_.get();
            DWORD got = 0;
            if (!ReadFile(pipe, buffer, sizeof buffer, nullptr, &read) && GetLastError() != ERROR_IO_PENDING &&
                GetLastError() != ERROR_MORE_DATA)
                return "disconnected";
            io = finish(pipe, read, INFINITE, got);
            if (io != Io::Done)
                return io == Io::Stopped ? "" : "disconnected";
            double tick = system_tick_count();
            for (std::string& line : lines.feed(std::string_view(buffer, got)))
                thread_.push(ok_reply(std::move(line), tick));
        }
    }

    // Waits for the overlapped operation started on `pipe`. Unless it is Done, it has been cancelled
    // and has finished, so that `overlapped` and its buffer may go.
    Io finish(HANDLE pipe, OVERLAPPED& overlapped, DWORD timeout, DWORD& transferred) {
        Wait wait = thread_.wait(overlapped.hEvent, timeout);
        if (wait != Wait::Ready) {
            CancelIo(pipe);
            GetOverlappedResult(pipe, &overlapped, &transferred, TRUE);
            return wait == Wait::Stopped ? Io::Stopped : Io::Failed;
        }
        // A message-mode pipe says ERROR_MORE_DATA for a message longer than the buffer; the rest
        // comes with the next read, as in byte mode.
        if (GetOverlappedResult(pipe, &overlapped, &transferred, FALSE) || GetLastError() == ERROR_MORE_DATA)
            return Io::Done;
        return Io::Failed;
    }

    std::string pipe_name_;
    ScopedHandle io_{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    LinkThread thread_;  // last: it goes first
};

}  // namespace

std::unique_ptr<PlayerLink> start_mpv_link(HWND window, UINT message, std::string pipe_name) {
    return std::make_unique<MpvLink>(window, message, std::move(pipe_name));
}

}  // namespace dvbk
