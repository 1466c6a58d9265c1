// Mutes and unmutes the system's default audio output: through the Core Audio endpoint of the
// default render device, or through the legacy mixer where Core Audio is not available.
#pragma once

#include <windows.h>
#include <mmdeviceapi.h>
#include <mmsystem.h>
#include <wrl/client.h>

#include <optional>
#include <string>

#include "base/scoped_win.h"
#include "settings/mute_marker.h"

namespace dvbk {

// Where the device enumerator comes from; the default asks COM for the system's.
using EnumeratorFactory = HRESULT (*)(IMMDeviceEnumerator** enumerator);
HRESULT create_device_enumerator(IMMDeviceEnumerator** enumerator);

// The legacy mixer calls the muter makes; the default is WINMM.
struct MixerApi {
    MMRESULT(WINAPI* open)(LPHMIXER mixer, UINT id, DWORD_PTR callback, DWORD_PTR instance, DWORD flags);
    MMRESULT(WINAPI* get_line_info)(HMIXEROBJ mixer, LPMIXERLINEA line, DWORD flags);
    MMRESULT(WINAPI* get_line_controls)(HMIXEROBJ mixer, LPMIXERLINECONTROLSA controls, DWORD flags);
    MMRESULT(WINAPI* get_control_details)(HMIXEROBJ mixer, LPMIXERCONTROLDETAILS details, DWORD flags);
    MMRESULT(WINAPI* set_control_details)(HMIXEROBJ mixer, LPMIXERCONTROLDETAILS details, DWORD flags);
    MMRESULT(WINAPI* close)(HMIXER mixer);
};
const MixerApi& winmm_mixer_api();

// Where the muter notes the output it has muted or is about to mute, and clears the note once that
// output sounds again and no mute is near; the default is the marker file beside the settings
// (settings/mute_marker_win.h), written from a thread of its own.
struct MuteRecorder {
    void (*save)(const MutedOutput& output);
    void (*clear)();
};
const MuteRecorder& mute_marker_file();

// One per process, used from the user-interface thread only, which must have entered its COM
// apartment before `init` (see ScopedCom) and stay in it for the muter's whole life. Every failure
// leaves one line in `last_error` naming the call and its result code.
class AudioMuter {
public:
    explicit AudioMuter(EnumeratorFactory factory = create_device_enumerator,
                        const MixerApi& mixer_api = winmm_mixer_api(),
                        const MuteRecorder& recorder = mute_marker_file());
    ~AudioMuter();
    AudioMuter(const AudioMuter&) = delete;
    AudioMuter& operator=(const AudioMuter&) = delete;

    bool init();
    bool mute() { return set_mute(TRUE); }
    // Switches the output on whoever switched it off.
    bool unmute() { return set_mute(FALSE); }

    // While a mute is `soon` the current output is noted ahead, as if muted: a run killed at any
    // moment after the mute is then recovered by the next, and the mute itself waits on no note.
    void expect_mute(bool soon);

    // From now on `message` is posted to `window` whenever the system's default output changes;
    // the window's thread then calls follow_default_output. Core Audio tells on a thread of its
    // own, which does nothing else.
    void watch_default_output(HWND window, UINT message);

    // Moves to the system's current default output. While `keep_muted` (a mute range is in force)
    // the new output is muted and the one left gets back the state it had: switched on again if
    // the muter had switched it off. With no output at all there is nothing to mute until one
    // comes.
    bool follow_default_output(bool keep_muted);

    // Switches `output` back on if it is still muted: a run that ended while muting left it so.
    // True when it did; an output that is no longer there is no failure.
    bool unmute_left_behind(const MutedOutput& output);

    const std::string& last_error() const { return last_error_; }
    bool ready() const { return ready_; }
    bool use_mixer() const { return use_mixer_; }

private:
    bool make_enumerator(HRESULT& result);
    void start_watching();
    bool unmute_left_mixer();
    bool unmute_left_endpoint(const std::string& id);
    bool set_mute(BOOL target);
    bool set_endpoint_mute(IMMDevice* device, BOOL target, bool& changed);
    bool set_mixer_mute(BOOL target);
    MIXERCONTROLDETAILS mute_details(MIXERCONTROLDETAILS_BOOLEAN& value) const;
    bool open_mixer();
    void keep_record();
    void report_failure(const char* message, LONG code);

    EnumeratorFactory factory_;
    const MixerApi& mixer_api_;
    const MuteRecorder& recorder_;
    std::string last_error_;
    bool ready_ = false;
    Microsoft::WRL::ComPtr<IMMDeviceEnumerator> enumerator_;
    Microsoft::WRL::ComPtr<IMMNotificationClient> watcher_;
    HWND watch_window_ = nullptr;
    UINT watch_message_ = 0;
    Microsoft::WRL::ComPtr<IMMDevice> device_;
    std::string device_id_;
    // The muter switched the current output off and has not switched it on since: only then does a
    // change of output switch the old one back on. The marker names the output while this or
    // `mute_expected_` holds.
    bool muted_by_us_ = false;
    bool mute_expected_ = false;
    std::optional<MutedOutput> recorded_;
    bool use_mixer_ = false;
    ScopedMixer mixer_;
    DWORD mute_control_id_ = 0;
};

}  // namespace dvbk
