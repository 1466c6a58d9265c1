#include "audio/audio_muter_win.h"

#include <endpointvolume.h>

#include <cstdio>
#include <vector>

namespace dvbk {
namespace {

// {BCDE0395-E52F-467C-8E3D-C4579291692E}
constexpr CLSID CLSID_MM_DEVICE_ENUMERATOR = {0xbcde0395,
                                              0xe52f,
                                              0x467c,
                                              {0x8e, 0x3d, 0xc4, 0x57, 0x92, 0x91, 0x69, 0x2e}};

MMRESULT WINAPI winmm_get_line_info(HMIXEROBJ mixer, LPMIXERLINEA line, DWORD flags) {
    return mixerGetLineInfoA(mixer, line, flags);
}

MMRESULT WINAPI winmm_get_line_controls(HMIXEROBJ mixer, LPMIXERLINECONTROLSA controls, DWORD flags) {
    return mixerGetLineControlsA(mixer, controls, flags);
}

}  // namespace

HRESULT create_device_enumerator(IMMDeviceEnumerator** enumerator) {
    return CoCreateInstance(CLSID_MM_DEVICE_ENUMERATOR, nullptr, CLSCTX_ALL, __uuidof(IMMDeviceEnumerator),
                            reinterpret_cast<void**>(enumerator));
}

const MixerApi& winmm_mixer_api() {
    static const MixerApi api{mixerOpen, winmm_get_line_info, winmm_get_line_controls, mixerSetControlDetails,
                              mixerClose};
    return api;
}

AudioMuter::AudioMuter(EnumeratorFactory factory, const MixerApi& mixer_api)
    : factory_(factory), mixer_api_(mixer_api), mixer_(mixer_api.close) {}

bool AudioMuter::init() {
    // Core Audio is prepared once per process; after that only its state is reported.
    if (device_)
        return ready_;
    Microsoft::WRL::ComPtr<IMMDeviceEnumerator> enumerator;
    HRESULT create_result = factory_(enumerator.GetAddressOf());
    if (SUCCEEDED(create_result)) {
        HRESULT result = enumerator->GetDefaultAudioEndpoint(eRender, eConsole, device_.ReleaseAndGetAddressOf());
        if (FAILED(result)) {
            device_.Reset();
            report_failure("IMMDeviceEnumerator::GetDefaultAudioEndpoint failed", result);
            return false;
        }
        ready_ = true;
        return true;
    }
    if (open_mixer()) {
        ready_ = true;
        use_mixer_ = true;
        return true;
    }
    // Whichever mixer step failed, the message names the call that sent us to the mixer.
    report_failure("CoCreateInstance(IMMDeviceEnumerator) failed", create_result);
    return false;
}

bool AudioMuter::open_mixer() {
    // Every load prepares the mixer afresh; the handle from an earlier load is closed first.
    if (mixer_api_.open(mixer_.receive(), 0, 0, 0, 0) != MMSYSERR_NOERROR)
        return false;
    MIXERLINEA line{};
    line.cbStruct = sizeof line;
    auto mixer_object = reinterpret_cast<HMIXEROBJ>(mixer_.get());
    if (mixer_api_.get_line_info(mixer_object, &line, MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_DESTINATION) !=
        MMSYSERR_NOERROR)
        return false;
    if (line.cControls == 0)
        return false;
    std::vector<MIXERCONTROLA> controls(line.cControls);
    MIXERLINECONTROLSA query{};
    query.cbStruct = sizeof query;
    query.dwLineID = line.dwLineID;
    query.cControls = line.cControls;
    query.cbmxctrl = sizeof(MIXERCONTROLA);
    query.pamxctrl = controls.data();
    if (mixer_api_.get_line_controls(mixer_object, &query, MIXER_OBJECTF_HMIXER | MIXER_GETLINECONTROLSF_ALL) !=
        MMSYSERR_NOERROR)
        return false;
    for (const MIXERCONTROLA& control : controls) {
        if (control.dwControlType == MIXERCONTROL_CONTROLTYPE_MUTE) {
            mute_control_id_ = control.dwControlID;
            return true;
        }
    }
    return false;
}

bool AudioMuter::set_mute(BOOL target) {
    if (use_mixer_)
        return set_mixer_mute(target);
    if (!device_)
        return false;
    Microsoft::WRL::ComPtr<IAudioEndpointVolume> volume;
    HRESULT result = device_->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_ALL, nullptr,
                                       reinterpret_cast<void**>(volume.GetAddressOf()));
    if (FAILED(result)) {
        report_failure("IMMDevice::Activate(IAudioEndpointVolume) failed", result);
        return false;
    }
    BOOL current = FALSE;
    result = volume->GetMute(&current);
    if (FAILED(result)) {
        report_failure("IAudioEndpointVolume::GetMute failed", result);
        return false;
    }
    if ((current != FALSE) == (target != FALSE))
        return true;
    result = volume->SetMute(target, nullptr);
    if (FAILED(result)) {
        report_failure("IAudioEndpointVolume::SetMute failed", result);
        return false;
    }
    return true;
}

bool AudioMuter::set_mixer_mute(BOOL target) {
    MIXERCONTROLDETAILS_BOOLEAN value{target};
    MIXERCONTROLDETAILS details{};
    details.cbStruct = sizeof details;
    details.dwControlID = mute_control_id_;
    details.cChannels = 1;
    details.cbDetails = sizeof value;
    details.paDetails = &value;
    MMRESULT result = mixer_api_.set_control_details(reinterpret_cast<HMIXEROBJ>(mixer_.get()), &details,
                                                     MIXER_OBJECTF_MIXER | MIXER_SETCONTROLDETAILSF_VALUE);
    if (result != MMSYSERR_NOERROR) {
        report_failure("mixerSetControlDetails failed", static_cast<LONG>(result));
        return false;
    }
    return true;
}

void AudioMuter::report_failure(const char* message, LONG code) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%lx", static_cast<unsigned long>(static_cast<ULONG>(code)));
    last_error_ = std::string(message) + ": hr = 0x" + hex + "\n";
    ready_ = false;
}

}  // namespace dvbk
