#include "audio/audio_muter_win.h"

#include <endpointvolume.h>

#include <cstdio>
#include <utility>
#include <vector>

#include "settings/mute_marker_win.h"

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

MMRESULT WINAPI winmm_get_control_details(HMIXEROBJ mixer, LPMIXERCONTROLDETAILS details, DWORD flags) {
    return mixerGetControlDetailsA(mixer, details, flags);
}

// What Core Audio answers for an endpoint that is not there (HRESULT_FROM_WIN32(ERROR_NOT_FOUND)).
constexpr HRESULT NO_SUCH_ENDPOINT = static_cast<HRESULT>(0x80070490);

// Tells the user-interface thread that the default output changed, and does nothing else: Core
// Audio calls it on a thread of its own, where the muter's COM objects must not be touched.
class DefaultOutputWatcher final : public IMMNotificationClient {
public:
    DefaultOutputWatcher(HWND window, UINT message) : window_(window), message_(message) {}
    DefaultOutputWatcher(const DefaultOutputWatcher&) = delete;
    DefaultOutputWatcher& operator=(const DefaultOutputWatcher&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == __uuidof(IUnknown) || iid == __uuidof(IMMNotificationClient)) {
            *out = static_cast<IMMNotificationClient*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        LONG left = InterlockedDecrement(&refs_);
        if (left == 0)
            delete this;
        return static_cast<ULONG>(left);
    }

    // Called once per role; the muter follows the console role, as it reads the default by.
    HRESULT STDMETHODCALLTYPE OnDefaultDeviceChanged(EDataFlow flow, ERole role, LPCWSTR) override {
        if (flow == eRender && role == eConsole)
            PostMessageA(window_, message_, 0, 0);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnDeviceStateChanged(LPCWSTR, DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDeviceAdded(LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDeviceRemoved(LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnPropertyValueChanged(LPCWSTR, const PROPERTYKEY) override { return S_OK; }

private:
    ~DefaultOutputWatcher() = default;

    LONG refs_ = 1;
    const HWND window_;
    const UINT message_;
};

// The endpoint's id in UTF-8; empty when it can't be had.
std::string endpoint_id(IMMDevice* device) {
    LPWSTR id = nullptr;
    if (FAILED(device->GetId(&id)) || !id)
        return "";
    int size = WideCharToMultiByte(CP_UTF8, 0, id, -1, nullptr, 0, nullptr, nullptr);
    std::string text(size > 0 ? static_cast<size_t>(size) : 0, '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, id, -1, text.data(), size, nullptr, nullptr);
    CoTaskMemFree(id);
    if (!text.empty())
        text.pop_back();  // the terminating NUL
    return text;
}

std::wstring wide_text(const std::string& text) {
    int size = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    std::wstring wide(size > 0 ? static_cast<size_t>(size) : 0, L'\0');
    if (size > 0)
        MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(), size);
    if (!wide.empty())
        wide.pop_back();
    return wide;
}

}  // namespace

HRESULT create_device_enumerator(IMMDeviceEnumerator** enumerator) {
    return CoCreateInstance(CLSID_MM_DEVICE_ENUMERATOR, nullptr, CLSCTX_ALL, __uuidof(IMMDeviceEnumerator),
                            reinterpret_cast<void**>(enumerator));
}

const MixerApi& winmm_mixer_api() {
    static const MixerApi api{
        mixerOpen, winmm_get_line_info, winmm_get_line_controls, winmm_get_control_details, mixerSetControlDetails,
        mixerClose};
    return api;
}

const MuteRecorder& mute_marker_file() {
    static const MuteRecorder recorder{[](const MutedOutput& output) { post_mute_marker(output); },
                                       [] { post_mute_marker(std::nullopt); }};
    return recorder;
}

AudioMuter::AudioMuter(EnumeratorFactory factory, const MixerApi& mixer_api, const MuteRecorder& recorder)
    : factory_(factory), mixer_api_(mixer_api), recorder_(recorder), mixer_(mixer_api.close) {}

AudioMuter::~AudioMuter() {
    // After this no notice arrives; one already posted finds the window gone or the muter new.
    if (watcher_)
        enumerator_->UnregisterEndpointNotificationCallback(watcher_.Get());
}

bool AudioMuter::make_enumerator(HRESULT& result) {
    // One enumerator for the muter's whole life: the watch on the default output is registered
    // with it, and must go on while there is no output at all.
    if (enumerator_)
        return true;
    result = factory_(enumerator_.ReleaseAndGetAddressOf());
    if (FAILED(result)) {
        enumerator_.Reset();
        return false;
    }
    start_watching();
    return true;
}

void AudioMuter::watch_default_output(HWND window, UINT message) {
    if (watcher_)
        enumerator_->UnregisterEndpointNotificationCallback(watcher_.Get());
    watcher_.Reset();
    watch_window_ = window;
    watch_message_ = message;
    start_watching();
}

void AudioMuter::start_watching() {
    if (!enumerator_ || !watch_window_ || watcher_)
        return;
    watcher_.Attach(new DefaultOutputWatcher(watch_window_, watch_message_));
    // Without the watch the muter still works; it only misses a change of output.
    if (FAILED(enumerator_->RegisterEndpointNotificationCallback(watcher_.Get())))
        watcher_.Reset();
}

bool AudioMuter::init() {
    // Core Audio is prepared once per process; after that only its state is reported.
    if (device_)
        return ready_;
    HRESULT create_result = S_OK;
    if (make_enumerator(create_result)) {
        HRESULT result = enumerator_->GetDefaultAudioEndpoint(eRender, eConsole, device_.ReleaseAndGetAddressOf());
        if (FAILED(result)) {
            device_.Reset();
            report_failure("IMMDeviceEnumerator::GetDefaultAudioEndpoint failed", result);
            return false;
        }
        device_id_ = endpoint_id(device_.Get());
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

bool AudioMuter::follow_default_output(bool keep_muted) {
    if (use_mixer_ || !enumerator_)
        return true;
    Microsoft::WRL::ComPtr<IMMDevice> next;
    HRESULT result = enumerator_->GetDefaultAudioEndpoint(eRender, eConsole, next.GetAddressOf());
    if (FAILED(result) && result != NO_SUCH_ENDPOINT) {
        report_failure("IMMDeviceEnumerator::GetDefaultAudioEndpoint failed", result);
        return false;
    }
    std::string next_id = next ? endpoint_id(next.Get()) : "";
    // Each role's change is told apart, and a notice can come twice: the same output is no change.
    if ((next != nullptr) == (device_ != nullptr) && next_id == device_id_)
        return true;

    Microsoft::WRL::ComPtr<IMMDevice> left = std::move(device_);
    bool left_muted_by_us = muted_by_us_;
    device_ = std::move(next);
    device_id_ = next_id;
    muted_by_us_ = false;
    if (device_)
        ready_ = true;
    bool ok = true;
    // The new output first: the film is heard from it the moment it becomes the default.
    if (keep_muted && device_) {
        bool changed = false;
        ok = set_endpoint_mute(device_.Get(), TRUE, changed);
        muted_by_us_ = ok && changed;
    }
    // A mute the user had set on the old output is theirs, and stays.
    if (left && left_muted_by_us) {
        bool changed = false;
        ok = set_endpoint_mute(left.Get(), FALSE, changed) && ok;
    }
    keep_record();
    return ok;
}

bool AudioMuter::unmute_left_behind(const MutedOutput& output) {
    // Another output's trouble says nothing about the one in use.
    bool was_ready = ready_;
    bool switched_on = output.mixer ? unmute_left_mixer() : unmute_left_endpoint(output.endpoint_id);
    ready_ = was_ready;
    return switched_on;
}

// The mute control's one value, for reading or setting it.
MIXERCONTROLDETAILS AudioMuter::mute_details(MIXERCONTROLDETAILS_BOOLEAN& value) const {
    MIXERCONTROLDETAILS details{};
    details.cbStruct = sizeof details;
    details.dwControlID = mute_control_id_;
    details.cChannels = 1;
    details.cbDetails = sizeof value;
    details.paDetails = &value;
    return details;
}

bool AudioMuter::unmute_left_mixer() {
    if (!open_mixer())
        return false;
    MIXERCONTROLDETAILS_BOOLEAN value{};
    MIXERCONTROLDETAILS details = mute_details(value);
    MMRESULT result = mixer_api_.get_control_details(reinterpret_cast<HMIXEROBJ>(mixer_.get()), &details,
                                                     MIXER_OBJECTF_HMIXER | MIXER_GETCONTROLDETAILSF_VALUE);
    if (result != MMSYSERR_NOERROR) {
        report_failure("mixerGetControlDetails failed", static_cast<LONG>(result));
        return false;
    }
    return value.fValue && set_mixer_mute(FALSE);
}

bool AudioMuter::unmute_left_endpoint(const std::string& id) {
    HRESULT result = S_OK;
    if (!make_enumerator(result)) {
        report_failure("CoCreateInstance(IMMDeviceEnumerator) failed", result);
        return false;
    }
    Microsoft::WRL::ComPtr<IMMDevice> device;
    result = enumerator_->GetDevice(wide_text(id).c_str(), device.GetAddressOf());
    if (FAILED(result)) {
        if (result != NO_SUCH_ENDPOINT)
            report_failure("IMMDeviceEnumerator::GetDevice failed", result);
        return false;
    }
    bool changed = false;
    return set_endpoint_mute(device.Get(), FALSE, changed) && changed;
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
    if (use_mixer_) {
        // The mixer's state is not read first, so a mute it makes counts as ours.
        if (!set_mixer_mute(target))
            return false;
        muted_by_us_ = target != FALSE;
        keep_record();
        return true;
    }
    if (!device_)
        return false;
    bool changed = false;
    if (!set_endpoint_mute(device_.Get(), target, changed))
        return false;
    muted_by_us_ = target ? muted_by_us_ || changed : false;
    keep_record();
    return true;
}

bool AudioMuter::set_endpoint_mute(IMMDevice* device, BOOL target, bool& changed) {
    changed = false;
    Microsoft::WRL::ComPtr<IAudioEndpointVolume> volume;
    HRESULT result = device->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_ALL, nullptr,
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
    changed = true;
    return true;
}

bool AudioMuter::set_mixer_mute(BOOL target) {
    MIXERCONTROLDETAILS_BOOLEAN value{target};
    MIXERCONTROLDETAILS details = mute_details(value);
    MMRESULT result = mixer_api_.set_control_details(reinterpret_cast<HMIXEROBJ>(mixer_.get()), &details,
                                                     MIXER_OBJECTF_HMIXER | MIXER_SETCONTROLDETAILSF_VALUE);
    if (result != MMSYSERR_NOERROR) {
        report_failure("mixerSetControlDetails failed", static_cast<LONG>(result));
        return false;
    }
    return true;
}

void AudioMuter::expect_mute(bool soon) {
    if (soon == mute_expected_)
        return;
    mute_expected_ = soon;
    keep_record();
}

void AudioMuter::keep_record() {
    // Written when the output to note changes only: a file write per event would be wasted.
    bool note = muted_by_us_ || mute_expected_;
    std::optional<MutedOutput> now;
    if (note && use_mixer_)
        now = MutedOutput{true, ""};
    else if (note && !device_id_.empty())
        now = MutedOutput{false, device_id_};
    if (now == recorded_)
        return;
    if (now && recorder_.save)
        recorder_.save(*now);
    else if (!now && recorder_.clear)
        recorder_.clear();
    recorded_ = now;
}

void AudioMuter::report_failure(const char* message, LONG code) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%lx", static_cast<unsigned long>(static_cast<ULONG>(code)));
    last_error_ = std::string(message) + ": hr = 0x" + hex + "\n";
    ready_ = false;
}

}  // namespace dvbk
