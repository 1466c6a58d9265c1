// Mutes and unmutes the system's default audio output: through the Core Audio endpoint of the
// default render device, or through the legacy mixer where Core Audio is not available.
#pragma once

#include <windows.h>
#include <mmdeviceapi.h>
#include <mmsystem.h>
#include <wrl/client.h>

#include <string>

#include "base/scoped_win.h"

namespace dvbk {

// Where the device enumerator comes from; the default asks COM for the system's.
using EnumeratorFactory = HRESULT (*)(IMMDeviceEnumerator** enumerator);
HRESULT create_device_enumerator(IMMDeviceEnumerator** enumerator);

// The legacy mixer calls the muter makes; the default is WINMM.
struct MixerApi {
    MMRESULT(WINAPI* open)(LPHMIXER mixer, UINT id, DWORD_PTR callback, DWORD_PTR instance, DWORD flags);
    MMRESULT(WINAPI* get_line_info)(HMIXEROBJ mixer, LPMIXERLINEA line, DWORD flags);
    MMRESULT(WINAPI* get_line_controls)(HMIXEROBJ mixer, LPMIXERLINECONTROLSA controls, DWORD flags);
    MMRESULT(WINAPI* set_control_details)(HMIXEROBJ mixer, LPMIXERCONTROLDETAILS details, DWORD flags);
    MMRESULT(WINAPI* close)(HMIXER mixer);
};
const MixerApi& winmm_mixer_api();

// One per process, used from the user-interface thread only, which must have entered its COM
// apartment before `init` (see ScopedCom) and stay in it for the muter's whole life. Every failure
// leaves one line in `last_error` naming the call and its result code.
class AudioMuter {
public:
    explicit AudioMuter(EnumeratorFactory factory = create_device_enumerator,
                        const MixerApi& mixer_api = winmm_mixer_api());
    AudioMuter(const AudioMuter&) = delete;
    AudioMuter& operator=(const AudioMuter&) = delete;

    bool init();
    bool mute() { return set_mute(TRUE); }
    bool unmute() { return set_mute(FALSE); }

    const std::string& last_error() const { return last_error_; }
    bool ready() const { return ready_; }
    bool use_mixer() const { return use_mixer_; }

private:
    bool set_mute(BOOL target);
    bool set_mixer_mute(BOOL target);
    bool open_mixer();
    void report_failure(const char* message, LONG code);

    EnumeratorFactory factory_;
    const MixerApi& mixer_api_;
    std::string last_error_;
    bool ready_ = false;
    Microsoft::WRL::ComPtr<IMMDevice> device_;
    bool use_mixer_ = false;
    ScopedMixer mixer_;
    DWORD mute_control_id_ = 0;
};

}  // namespace dvbk
