// Core Audio and legacy mixer stand-ins for driving the real AudioMuter through every branch:
// genuine COM objects (vtables, reference counts) whose results a test sets in `fake_audio`.
#pragma once

#include <windows.h>
#include <endpointvolume.h>
#include <mmdeviceapi.h>
#include <mmsystem.h>

#include <string>
#include <thread>
#include <vector>

#include "audio/audio_muter_win.h"

namespace dvbk::testing_fakes {

// One output device: its endpoint id and its mute flag, which outlives the objects handed out.
struct FakeOutput {
    std::wstring id;
    BOOL muted = FALSE;
};

// What Core Audio answers for an endpoint that is not there.
inline constexpr HRESULT FAKE_NOT_FOUND = static_cast<HRESULT>(0x80070490);

struct FakeAudio {
    // The outputs and which one is the default (-1: none at all).
    std::vector<FakeOutput> outputs{{L"{0.0.0.00000000}.{speakers}"},
                                    {L"{0.0.0.00000000}.{headphones}"},
                                    {L"{0.0.0.00000000}.{hdmi}"}};
    int default_output = 0;

    // Results to return.
    HRESULT create = S_OK;
    HRESULT get_default = S_OK;
    HRESULT activate = S_OK;
    HRESULT get_mute = S_OK;
    HRESULT set_mute = S_OK;
    MMRESULT mixer_open = MMSYSERR_NOERROR;
    MMRESULT mixer_line_info = MMSYSERR_NOERROR;
    MMRESULT mixer_line_controls = MMSYSERR_NOERROR;
    MMRESULT mixer_set = MMSYSERR_NOERROR;
    MMRESULT mixer_get = MMSYSERR_NOERROR;
    std::vector<DWORD> mixer_control_types;  // of destination line 0, in order; ids are 100 + index

    // Called on every SetMute, for measurements.
    void (*on_set_mute)() = nullptr;

    // What happened.
    int create_calls = 0;
    int set_mute_calls = 0;
    int mixer_opens = 0;
    int mixer_closes = 0;
    int mixer_sets = 0;
    DWORD mixer_set_control = 0;
    LONG mixer_set_value = -1;
    BOOL mixer_muted = FALSE;  // what the last set left, and what a get reads
    int live_objects = 0;
    IMMNotificationClient* client = nullptr;  // registered, and not yet unregistered
    // Every call on a fake object is checked against the thread that reset the record: Core Audio
    // objects made on the user-interface thread are used there only.
    DWORD owner_thread = GetCurrentThreadId();
    int calls_off_thread = 0;
};

inline FakeAudio fake_audio;

inline void note_call() {
    if (GetCurrentThreadId() != fake_audio.owner_thread)
        ++fake_audio.calls_off_thread;
}

// The mute flag of the first output, the default unless a test switches it.
inline BOOL& speakers_muted() {
    return fake_audio.outputs[0].muted;
}

// Makes output `index` (-1: none) the default and tells the registered client as Core Audio does:
// on a thread of its own, once for each role.
inline void switch_default_output(int index) {
    fake_audio.default_output = index;
    std::wstring id = index >= 0 ? fake_audio.outputs[static_cast<size_t>(index)].id : std::wstring();
    IMMNotificationClient* client = fake_audio.client;
    if (!client)
        return;
    std::thread([client, id] {
        for (ERole role : {eConsole, eMultimedia, eCommunications})
            client->OnDefaultDeviceChanged(eRender, role, id.empty() ? nullptr : id.c_str());
        client->OnDefaultDeviceChanged(eCapture, eConsole, L"{0.0.1.00000000}.{microphone}");
    }).join();
}

template <class Interface>
class FakeCom : public Interface {
public:
    FakeCom() { ++fake_audio.live_objects; }
    virtual ~FakeCom() { --fake_audio.live_objects; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == __uuidof(IUnknown) || iid == __uuidof(Interface)) {
            *out = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --refs_;
        if (left == 0)
            delete this;
        return left;
    }

private:
    ULONG refs_ = 1;
};

class FakeEndpointVolume : public FakeCom<IAudioEndpointVolume> {
public:
    explicit FakeEndpointVolume(size_t output) : output_(output) {}
    HRESULT STDMETHODCALLTYPE SetMute(WINBOOL mute, LPCGUID) override {
        note_call();
        ++fake_audio.set_mute_calls;
        if (fake_audio.on_set_mute)
            fake_audio.on_set_mute();
        if (SUCCEEDED(fake_audio.set_mute))
            fake_audio.outputs[output_].muted = mute;
        return fake_audio.set_mute;
    }
    HRESULT STDMETHODCALLTYPE GetMute(WINBOOL* mute) override {
        note_call();
        *mute = fake_audio.outputs[output_].muted;
        return fake_audio.get_mute;
    }
    HRESULT STDMETHODCALLTYPE RegisterControlChangeNotify(IAudioEndpointVolumeCallback*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE UnregisterControlChangeNotify(IAudioEndpointVolumeCallback*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetChannelCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetMasterVolumeLevel(FLOAT, LPCGUID) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetMasterVolumeLevelScalar(FLOAT, LPCGUID) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMasterVolumeLevel(FLOAT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMasterVolumeLevelScalar(FLOAT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetChannelVolumeLevel(UINT, FLOAT, LPCGUID) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetChannelVolumeLevelScalar(UINT, FLOAT, LPCGUID) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetChannelVolumeLevel(UINT, FLOAT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetChannelVolumeLevelScalar(UINT, FLOAT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetVolumeStepInfo(UINT*, UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE VolumeStepUp(LPCGUID) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE VolumeStepDown(LPCGUID) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryHardwareSupport(DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetVolumeRange(FLOAT*, FLOAT*, FLOAT*) override { return E_NOTIMPL; }

private:
    size_t output_;
};

class FakeDevice : public FakeCom<IMMDevice> {
public:
    explicit FakeDevice(size_t output) : output_(output) {}
    HRESULT STDMETHODCALLTYPE Activate(REFIID iid, DWORD, PROPVARIANT*, void** out) override {
        note_call();
        *out = nullptr;
        if (FAILED(fake_audio.activate))
            return fake_audio.activate;
        if (iid != __uuidof(IAudioEndpointVolume))
            return E_NOINTERFACE;
        *out = static_cast<IAudioEndpointVolume*>(new FakeEndpointVolume(output_));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OpenPropertyStore(DWORD, IPropertyStore**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetId(LPWSTR* id) override {
        note_call();
        const std::wstring& text = fake_audio.outputs[output_].id;
        size_t bytes = (text.size() + 1) * sizeof(wchar_t);
        *id = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
        memcpy(*id, text.c_str(), bytes);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetState(DWORD*) override { return E_NOTIMPL; }

private:
    size_t output_;
};

class FakeEnumerator : public FakeCom<IMMDeviceEnumerator> {
public:
    HRESULT STDMETHODCALLTYPE GetDefaultAudioEndpoint(EDataFlow flow, ERole role, IMMDevice** device) override {
        note_call();
        *device = nullptr;
        if (flow != eRender || role != eConsole)
            return E_INVALIDARG;
        if (FAILED(fake_audio.get_default))
            return fake_audio.get_default;
        if (fake_audio.default_output < 0)
            return FAKE_NOT_FOUND;
        *device = new FakeDevice(static_cast<size_t>(fake_audio.default_output));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumAudioEndpoints(EDataFlow, DWORD, IMMDeviceCollection**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDevice(LPCWSTR id, IMMDevice** device) override {
        note_call();
        *device = nullptr;
        for (size_t i = 0; i < fake_audio.outputs.size(); ++i) {
            if (fake_audio.outputs[i].id == id) {
                *device = new FakeDevice(i);
                return S_OK;
            }
        }
        return FAKE_NOT_FOUND;
    }
    HRESULT STDMETHODCALLTYPE RegisterEndpointNotificationCallback(IMMNotificationClient* client) override {
        note_call();
        if (!client || fake_audio.client)
            return E_INVALIDARG;
        fake_audio.client = client;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE UnregisterEndpointNotificationCallback(IMMNotificationClient* client) override {
        note_call();
        if (!client || client != fake_audio.client)
            return E_INVALIDARG;
        fake_audio.client = nullptr;
        return S_OK;
    }
};

inline HRESULT create_fake_enumerator(IMMDeviceEnumerator** enumerator) {
    ++fake_audio.create_calls;
    *enumerator = nullptr;
    if (FAILED(fake_audio.create))
        return fake_audio.create;
    *enumerator = new FakeEnumerator;
    return S_OK;
}

inline HMIXER fake_mixer_handle() {
    return reinterpret_cast<HMIXER>(static_cast<UINT_PTR>(0x4D1));
}

inline MMRESULT WINAPI fake_mixer_open(LPHMIXER mixer, UINT id, DWORD_PTR, DWORD_PTR, DWORD) {
    if (id != 0 || fake_audio.mixer_open != MMSYSERR_NOERROR)
        return fake_audio.mixer_open != MMSYSERR_NOERROR ? fake_audio.mixer_open : MMSYSERR_BADDEVICEID;
    ++fake_audio.mixer_opens;
    *mixer = fake_mixer_handle();
    return MMSYSERR_NOERROR;
}

inline MMRESULT WINAPI fake_mixer_line_info(HMIXEROBJ, LPMIXERLINEA line, DWORD flags) {
    if (line->cbStruct != sizeof(MIXERLINEA) || line->dwDestination != 0 ||
        flags != (MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_DESTINATION))
        return MMSYSERR_INVALPARAM;
    line->dwLineID = 0xFFFF0000;
    line->cControls = static_cast<DWORD>(fake_audio.mixer_control_types.size());
    return fake_audio.mixer_line_info;
}

inline MMRESULT WINAPI fake_mixer_line_controls(HMIXEROBJ, LPMIXERLINECONTROLSA query, DWORD flags) {
    if (fake_audio.mixer_line_controls != MMSYSERR_NOERROR)
        return fake_audio.mixer_line_controls;
    if (query->dwLineID != 0xFFFF0000 || query->cbmxctrl != sizeof(MIXERCONTROLA) ||
        query->cControls != fake_audio.mixer_control_types.size() ||
        flags != (MIXER_OBJECTF_HMIXER | MIXER_GETLINECONTROLSF_ALL))
        return MMSYSERR_INVALPARAM;
    for (size_t i = 0; i < fake_audio.mixer_control_types.size(); ++i) {
        query->pamxctrl[i].dwControlType = fake_audio.mixer_control_types[i];
        query->pamxctrl[i].dwControlID = static_cast<DWORD>(100 + i);
    }
    return MMSYSERR_NOERROR;
}

inline MMRESULT WINAPI fake_mixer_get(HMIXEROBJ mixer, LPMIXERCONTROLDETAILS details, DWORD flags) {
    if (reinterpret_cast<HMIXER>(mixer) != fake_mixer_handle() ||
        flags != (MIXER_OBJECTF_HMIXER | MIXER_GETCONTROLDETAILSF_VALUE) || details->cChannels != 1 ||
        details->cbDetails != sizeof(MIXERCONTROLDETAILS_BOOLEAN))
        return MMSYSERR_INVALPARAM;
    static_cast<MIXERCONTROLDETAILS_BOOLEAN*>(details->paDetails)->fValue = fake_audio.mixer_muted;
    return fake_audio.mixer_get;
}

inline MMRESULT WINAPI fake_mixer_set(HMIXEROBJ mixer, LPMIXERCONTROLDETAILS details, DWORD flags) {
    // The handle names an open mixer, which the flags must say (without them it reads as a device number).
    if (reinterpret_cast<HMIXER>(mixer) != fake_mixer_handle() ||
        flags != (MIXER_OBJECTF_HMIXER | MIXER_SETCONTROLDETAILSF_VALUE) || details->cChannels != 1 ||
        details->cbDetails != sizeof(MIXERCONTROLDETAILS_BOOLEAN))
        return MMSYSERR_INVALPARAM;
    ++fake_audio.mixer_sets;
    fake_audio.mixer_set_control = details->dwControlID;
    fake_audio.mixer_set_value = static_cast<MIXERCONTROLDETAILS_BOOLEAN*>(details->paDetails)->fValue;
    if (fake_audio.mixer_set == MMSYSERR_NOERROR)
        fake_audio.mixer_muted = fake_audio.mixer_set_value;
    return fake_audio.mixer_set;
}

inline MMRESULT WINAPI fake_mixer_close(HMIXER) {
    ++fake_audio.mixer_closes;
    return MMSYSERR_NOERROR;
}

inline const MixerApi fake_mixer_api{fake_mixer_open, fake_mixer_line_info, fake_mixer_line_controls,
                                     fake_mixer_get,  fake_mixer_set,       fake_mixer_close};

}  // namespace dvbk::testing_fakes
