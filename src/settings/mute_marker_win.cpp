#include "settings/mute_marker_win.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <fstream>
#include <mutex>
#include <thread>
#include <utility>

#include "base/file_write_win.h"
#include "base/scoped_win.h"
#include "settings/settings_store_win.h"

namespace dvbk {
namespace {

// A marker is a few hundred bytes; anything much larger is not one, and is not read whole.
constexpr std::streamsize MAX_MARKER_BYTES = 4096;

std::uint64_t filetime_count(const FILETIME& time) {
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// Carries out the marker wishes on its own thread, started with the first one. It lives as long as
// the process: the thread is never joined, and a write cut off by the process's end leaves the old
// marker or the new one whole (they are written atomically).
class MarkerWriter {
public:
    void post(std::optional<MutedOutput> output) {
        std::lock_guard<std::mutex> lock(mutex_);
        wanted_ = std::move(output);
        ++posted_;
        if (!started_) {
            started_ = true;
            std::thread([this] { run(); }).detach();
        }
        posted_changed_.notify_one();
    }

    bool flush(unsigned milliseconds) {
        std::unique_lock<std::mutex> lock(mutex_);
        return written_changed_.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                         [this] { return written_ == posted_; });
    }

private:
    void run() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            posted_changed_.wait(lock, [this] { return written_ != posted_; });
            std::optional<MutedOutput> output = wanted_;
            std::uint64_t round = posted_;
            lock.unlock();
            if (output)
                save_mute_marker(*output);
            else
                clear_mute_marker();
            lock.lock();
            written_ = round;
            written_changed_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable posted_changed_;
    std::condition_variable written_changed_;
    std::optional<MutedOutput> wanted_;
    std::uint64_t posted_ = 0;
    std::uint64_t written_ = 0;
    bool started_ = false;
};

MarkerWriter& marker_writer() {
    // Never destroyed: its thread may still be at work while the process ends.
    static MarkerWriter* writer = new MarkerWriter;
    return *writer;
}

}  // namespace

void post_mute_marker(std::optional<MutedOutput> output) {
    marker_writer().post(std::move(output));
}

bool flush_mute_marker(unsigned milliseconds) {
    return marker_writer().flush(milliseconds);
}

std::string mute_marker_path() {
    return settings_folder() + "mute_marker.xml";
}

ProcessIdentity this_process() {
    FILETIME created{}, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    return {GetCurrentProcessId(), filetime_count(created)};
}

bool process_running(const ProcessIdentity& process) {
    ScopedHandle handle(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process.id));
    if (!handle.valid())
        return GetLastError() == ERROR_ACCESS_DENIED;
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(handle.get(), &created, &exited, &kernel, &user))
        return true;
    DWORD exit_code = 0;
    // Someone's open handle keeps an ended process's id taken for a while.
    if (GetExitCodeProcess(handle.get(), &exit_code) && exit_code != STILL_ACTIVE)
        return false;
    return filetime_count(created) == process.created;
}

void save_mute_marker(const MutedOutput& output) {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    write_file_atomically(mute_marker_path(), mute_marker_text({output, filetime_count(now), this_process()}, "\r\n"));
}

std::optional<MuteMarker> load_mute_marker() {
    std::ifstream in(mute_marker_path(), std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string text(MAX_MARKER_BYTES + 1, '\0');
    in.read(text.data(), MAX_MARKER_BYTES + 1);
    if (in.gcount() > MAX_MARKER_BYTES)
        return std::nullopt;
    text.resize(static_cast<size_t>(in.gcount()));
    return read_mute_marker(text);
}

void remove_mute_marker(const ProcessIdentity& owner) {
    std::optional<MuteMarker> marker = load_mute_marker();
    if (marker && marker->process == owner)
        DeleteFileA(mute_marker_path().c_str());
}

void clear_mute_marker() {
    remove_mute_marker(this_process());
}

}  // namespace dvbk
