// How late events are carried out: the real window and message loop run a script of 200 events a
// quarter of a second apart against a fake audio endpoint, which notes at each mute and unmute how
// far the clock had passed the event. "--wake-timer-only" leaves out the one-shot event timer.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "../tests/audio/fake_core_audio_win.h"
#include "app/app_state_win.h"
#include "app/app_main_win.h"
#include "app/main_window_win.h"
#include "app/script_file_win.h"
#include "percentile.h"
#include "resources/resource_ids.h"

namespace {

std::vector<double> lateness_ms;

void note_lateness() {
    const auto& events = dvbk::app.script.events;
    double due = events[dvbk::app.next_event].time;
    lateness_ms.push_back((dvbk::position(dvbk::app.clock) - due) * 1000.0);
    if (dvbk::app.next_event + 1 == events.size())
        PostQuitMessage(0);
}

}  // namespace

int main(int argc, char** argv) {
    bool wake_timer_only = argc > 1 && std::strcmp(argv[1], "--wake-timer-only") == 0;
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string path = std::string(temp) + "dvbk-lateness.dvbk";
    {
        std::ofstream script(path);
        for (int i = 0; i < 100; ++i)
            script << "Dunvel, " << 1.0 + 0.5 * i << ", " << 1.25 + 0.5 * i << "\n";
    }
    dvbk::testing_fakes::fake_audio.on_set_mute = note_lateness;
    dvbk::app.audio_muter = std::make_unique<dvbk::AudioMuter>(dvbk::testing_fakes::create_fake_enumerator,
                                                               dvbk::testing_fakes::fake_mixer_api);
    dvbk::app.event_timer_enabled = !wake_timer_only;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    dvbk::register_main_window_class(instance);
    if (!dvbk::create_main_window(instance, SW_SHOWNORMAL))
        return 1;
    dvbk::open_script(path);
    dvbk::toggle_play_pause();
    dvbk::run_message_loop(nullptr);
    DeleteFileA(path.c_str());

    std::printf("%s: %zu events, lateness p50 %.1f ms, p95 %.1f ms, max %.1f ms\n",
                wake_timer_only ? "wake timer only" : "with the event timer", lateness_ms.size(),
                percentile(lateness_ms, 0.5), percentile(lateness_ms, 0.95),
                *std::max_element(lateness_ms.begin(), lateness_ms.end()));
    return 0;
}
