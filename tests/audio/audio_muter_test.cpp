#include "audio/audio_muter_win.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "fake_core_audio_win.h"

namespace dvbk {
namespace {

using testing_fakes::fake_audio;
using testing_fakes::FakeAudio;
using testing_fakes::speakers_muted;

constexpr HRESULT CLASS_NOT_REGISTERED = REGDB_E_CLASSNOTREG;  // 0x80040154: no Core Audio

// What the muter noted as muted by it, and how many notes it wrote.
std::optional<MutedOutput> recorded;
int records = 0;
void record_save(const MutedOutput& output) {
    recorded = output;
    ++records;
}
void record_clear() {
    recorded.reset();
    ++records;
}
const MuteRecorder fake_recorder{record_save, record_clear};

class AudioMuterTest : public testing::Test {
protected:
    void SetUp() override {
        fake_audio = {};
        recorded.reset();
        records = 0;
    }
    void TearDown() override { EXPECT_EQ(0, fake_audio.live_objects) << "a COM reference leaked"; }
};

AudioMuter* make_muter() {
    return new AudioMuter(testing_fakes::create_fake_enumerator, testing_fakes::fake_mixer_api, fake_recorder);
}

std::string recorded_endpoint() {
    return recorded ? recorded->endpoint_id : "";
}

TEST_F(AudioMuterTest, CoreAudioSetsOnlyWhatDiffers) {
    {
        std::unique_ptr<AudioMuter> muter(make_muter());
        ASSERT_TRUE(muter->init());
        EXPECT_TRUE(muter->ready());
        EXPECT_FALSE(muter->use_mixer());
        struct Step {
            bool mute;
            BOOL muted_after;
            int setter_calls;
            int records;  // the marker is written when what is muted changes, not per call
        };
        // Already-set states return true with no setter call; unmute also clears a mute the user set.
        for (const Step& step : {Step{true, TRUE, 1, 1}, Step{true, TRUE, 1, 1}, Step{false, FALSE, 2, 2},
                                 Step{false, FALSE, 2, 2}, Step{true, TRUE, 3, 3}}) {
            EXPECT_TRUE(step.mute ? muter->mute() : muter->unmute());
            EXPECT_EQ(step.muted_after, speakers_muted());
            EXPECT_EQ(step.setter_calls, fake_audio.set_mute_calls);
            EXPECT_EQ(step.records, records);
            EXPECT_EQ(step.mute ? "{0.0.0.00000000}.{speakers}" : "", recorded_endpoint());
        }
        // A mute the user set first is theirs: no marker for it.
        EXPECT_TRUE(muter->unmute());
        speakers_muted() = TRUE;
        EXPECT_TRUE(muter->mute());
        EXPECT_FALSE(recorded);
        // Core Audio is prepared once per process: a later load asks for no new enumerator.
        EXPECT_TRUE(muter->init());
        EXPECT_EQ(1, fake_audio.create_calls);
        EXPECT_EQ("", muter->last_error());
    }
}

// A mute that is near is noted before it comes, so that the mute itself waits on no write; the note
// goes when neither a mute of ours nor a near one is left, and a mute the user set is never noted.
TEST_F(AudioMuterTest, NearMuteIsNotedAhead) {
    std::unique_ptr<AudioMuter> muter(make_muter());
    ASSERT_TRUE(muter->init());
    enum Do { Expect, Unexpect, Mute, Unmute, UserMutes };
    struct Step {
        Do what;
        const char* noted;
        int records;
    };
    const char* speakers = "{0.0.0.00000000}.{speakers}";
    const Step steps[] = {
        {Expect, speakers, 1}, {Mute, speakers, 1}, {Unexpect, speakers, 1}, {Unmute, "", 2},     {Expect, speakers, 3},
        {Unexpect, "", 4},     {UserMutes, "", 4},  {Expect, speakers, 5},   {Mute, speakers, 5}, {Unexpect, "", 6},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(&step - steps);
        switch (step.what) {
            case Expect:
                muter->expect_mute(true);
                break;
            case Unexpect:
                muter->expect_mute(false);
                break;
            case Mute:
                EXPECT_TRUE(muter->mute());
                break;
            case Unmute:
                EXPECT_TRUE(muter->unmute());
                break;
            case UserMutes:
                speakers_muted() = TRUE;
                break;
        }
        EXPECT_EQ(step.noted, recorded_endpoint());
        EXPECT_EQ(step.records, records);
    }
}

TEST_F(AudioMuterTest, CoreAudioFailuresNameTheCallAndCode) {
    struct Case {
        HRESULT FakeAudio::*step;
        HRESULT code;
        bool fails_in_init;
        std::string error;
    };
    const Case cases[] = {
        {&FakeAudio::get_default, E_FAIL, true,
         "IMMDeviceEnumerator::GetDefaultAudioEndpoint failed: hr = 0x80004005\n"},
        {&FakeAudio::get_default, static_cast<HRESULT>(0x80070490), true,
         "IMMDeviceEnumerator::GetDefaultAudioEndpoint failed: hr = 0x80070490\n"},
        {&FakeAudio::activate, E_NOINTERFACE, false,
         "IMMDevice::Activate(IAudioEndpointVolume) failed: hr = 0x80004002\n"},
        {&FakeAudio::get_mute, E_ACCESSDENIED, false, "IAudioEndpointVolume::GetMute failed: hr = 0x80070005\n"},
        {&FakeAudio::set_mute, E_OUTOFMEMORY, false, "IAudioEndpointVolume::SetMute failed: hr = 0x8007000e\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error);
        fake_audio = {};
        fake_audio.*c.step = c.code;
        {
            std::unique_ptr<AudioMuter> muter(make_muter());
            EXPECT_EQ(!c.fails_in_init, muter->init());
            if (!c.fails_in_init) {
                EXPECT_FALSE(muter->mute());
            }
            EXPECT_EQ(c.error, muter->last_error());
            EXPECT_FALSE(muter->ready());
        }
        EXPECT_EQ(0, fake_audio.live_objects);
    }
}

TEST_F(AudioMuterTest, FailedEndpointLookupIsTriedAgain) {
    fake_audio.get_default = E_FAIL;
    std::unique_ptr<AudioMuter> muter(make_muter());
    EXPECT_FALSE(muter->init());
    EXPECT_FALSE(muter->mute());  // no device: false, and the init message stays
    EXPECT_EQ("IMMDeviceEnumerator::GetDefaultAudioEndpoint failed: hr = 0x80004005\n", muter->last_error());
    fake_audio.get_default = S_OK;
    EXPECT_TRUE(muter->init());
    EXPECT_EQ(1, fake_audio.create_calls);  // the enumerator, and the watch registered with it, stay
    EXPECT_TRUE(muter->mute());
}

constexpr UINT OUTPUT_CHANGED = WM_APP + 7;

// The system's default output changes while the muter holds a mute or not: Core Audio tells on its
// own thread, the notice reaches the window's thread as one message per change, and only there
// does the muter move, muting the new output and giving the old one back its state.
TEST_F(AudioMuterTest, FollowsTheDefaultOutput) {
    const BOOL o = FALSE, M = TRUE;
    const std::string speakers = "{0.0.0.00000000}.{speakers}", headphones = "{0.0.0.00000000}.{headphones}",
                      hdmi = "{0.0.0.00000000}.{hdmi}";
    struct Case {
        const char* what;
        std::vector<BOOL> muted_before;  // by the user, outputs 0 to 2; 0 is the default at first
        bool in_range;
        std::vector<int> defaults;  // switched to in turn; -1: no output at all
        std::vector<BOOL> muted_after;
        std::string marker;  // the output the marker names at the end, "" for none
    };
    const Case cases[] = {
        {"during a range", {o, o, o}, true, {1}, {o, M, o}, headphones},
        {"outside a range", {o, o, o}, false, {1}, {o, o, o}, ""},
        {"twice in a row", {o, o, o}, true, {1, 2}, {o, o, M}, hdmi},
        {"and back again", {o, o, o}, true, {1, 0}, {M, o, o}, speakers},
        {"to no output at all", {o, o, o}, true, {-1}, {o, o, o}, ""},
        {"to none, then one comes", {o, o, o}, true, {-1, 2}, {o, o, M}, hdmi},
        {"the same output told again", {o, o, o}, true, {0}, {M, o, o}, speakers},
        {"the user's mute on the old output stays", {M, o, o}, true, {1}, {M, M, o}, headphones},
        {"the user's mute on the new output is theirs", {o, M, o}, true, {1}, {o, M, o}, ""},
        {"outside a range the user's mutes stay", {M, o, M}, false, {2, 1}, {M, o, M}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fake_audio = {};
        recorded.reset();
        for (size_t i = 0; i < c.muted_before.size(); ++i)
            fake_audio.outputs[i].muted = c.muted_before[i];
        HWND sink = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        ASSERT_NE(nullptr, sink);
        {
            std::unique_ptr<AudioMuter> muter(make_muter());
            muter->watch_default_output(sink, OUTPUT_CHANGED);
            ASSERT_TRUE(muter->init());
            if (c.in_range) {
                EXPECT_TRUE(muter->mute());
            }
            for (int output : c.defaults) {
                testing_fakes::switch_default_output(output);
                int notices = 0;
                MSG message;
                while (PeekMessageA(&message, sink, OUTPUT_CHANGED, OUTPUT_CHANGED, PM_REMOVE)) {
                    ++notices;
                    EXPECT_TRUE(muter->follow_default_output(c.in_range));
                }
                EXPECT_EQ(1, notices);
            }
            for (size_t i = 0; i < c.muted_after.size(); ++i)
                EXPECT_EQ(c.muted_after[i], fake_audio.outputs[i].muted) << "output " << i;
            EXPECT_EQ(c.marker, recorded_endpoint());
            EXPECT_EQ("", muter->last_error());
        }
        EXPECT_EQ(nullptr, fake_audio.client) << "the watch outlived the muter";
        EXPECT_EQ(0, fake_audio.calls_off_thread) << "Core Audio used from the notification thread";
        EXPECT_EQ(0, fake_audio.live_objects);
        DestroyWindow(sink);
    }
}

TEST_F(AudioMuterTest, SetMuteFailureSticksUntilTheDeviceWorks) {
    std::unique_ptr<AudioMuter> muter(make_muter());
    ASSERT_TRUE(muter->init());
    fake_audio.set_mute = E_FAIL;
    EXPECT_FALSE(muter->mute());
    // The next script load's init answers at once from the failed state, message unchanged.
    EXPECT_FALSE(muter->init());
    EXPECT_EQ(1, fake_audio.create_calls);
    EXPECT_EQ("IAudioEndpointVolume::SetMute failed: hr = 0x80004005\n", muter->last_error());
    // Muting keeps trying through the device.
    fake_audio.set_mute = S_OK;
    EXPECT_TRUE(muter->mute());
    EXPECT_TRUE(speakers_muted());
}

TEST_F(AudioMuterTest, NothingBeforeInit) {
    std::unique_ptr<AudioMuter> muter(make_muter());
    EXPECT_FALSE(muter->mute());
    EXPECT_FALSE(muter->unmute());
    EXPECT_EQ("", muter->last_error());
    EXPECT_EQ(0, fake_audio.create_calls);
}

TEST_F(AudioMuterTest, MixerWhenCoreAudioIsMissing) {
    fake_audio.create = CLASS_NOT_REGISTERED;
    fake_audio.mixer_control_types = {MIXERCONTROL_CONTROLTYPE_VOLUME, MIXERCONTROL_CONTROLTYPE_MUTE,
                                      MIXERCONTROL_CONTROLTYPE_MUTE};
    std::unique_ptr<AudioMuter> muter(make_muter());
    ASSERT_TRUE(muter->init());
    EXPECT_TRUE(muter->use_mixer());
    EXPECT_TRUE(muter->mute());
    EXPECT_EQ(101u, fake_audio.mixer_set_control);  // the first mute control of the line
    EXPECT_EQ(1, fake_audio.mixer_set_value);
    EXPECT_EQ((MutedOutput{true, ""}), recorded);
    EXPECT_TRUE(muter->follow_default_output(true));  // the mixer has no default to follow
    EXPECT_TRUE(muter->unmute());
    EXPECT_EQ(0, fake_audio.mixer_set_value);
    EXPECT_FALSE(recorded);

    fake_audio.mixer_set = MMSYSERR_NOMEM;  // 7
    EXPECT_FALSE(muter->unmute());
    EXPECT_EQ("mixerSetControlDetails failed: hr = 0x7\n", muter->last_error());
    EXPECT_FALSE(muter->ready());
    EXPECT_TRUE(muter->use_mixer());  // still the mixer: the next event tries it again
    fake_audio.mixer_set = MMSYSERR_NOERROR;
    EXPECT_TRUE(muter->unmute());

    // Each load prepares the mixer afresh, closing the handle of the last one first.
    EXPECT_TRUE(muter->init());
    EXPECT_EQ(2, fake_audio.mixer_opens);
    EXPECT_EQ(1, fake_audio.mixer_closes);
    muter.reset();
    EXPECT_EQ(2, fake_audio.mixer_closes);
}

TEST_F(AudioMuterTest, MixerFailuresReportTheCoreAudioCode) {
    struct Case {
        const char* what;
        MMRESULT open, line_info, line_controls;
        std::vector<DWORD> controls;
    };
    const DWORD volume = MIXERCONTROL_CONTROLTYPE_VOLUME;
    const Case cases[] = {
        {"no mixer", MMSYSERR_BADDEVICEID, 0, 0, {MIXERCONTROL_CONTROLTYPE_MUTE}},
        {"no destination line", 0, MIXERR_INVALLINE, 0, {MIXERCONTROL_CONTROLTYPE_MUTE}},
        {"controls unreadable", 0, 0, MMSYSERR_ERROR, {MIXERCONTROL_CONTROLTYPE_MUTE}},
        {"no mute control", 0, 0, 0, {volume, volume}},
        {"no controls at all", 0, 0, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fake_audio = {};
        fake_audio.create = CLASS_NOT_REGISTERED;
        fake_audio.mixer_open = c.open;
        fake_audio.mixer_line_info = c.line_info;
        fake_audio.mixer_line_controls = c.line_controls;
        fake_audio.mixer_control_types = c.controls;
        std::unique_ptr<AudioMuter> muter(make_muter());
        EXPECT_FALSE(muter->init());
        EXPECT_EQ("CoCreateInstance(IMMDeviceEnumerator) failed: hr = 0x80040154\n", muter->last_error());
        EXPECT_FALSE(muter->use_mixer());
        EXPECT_FALSE(muter->mute());
    }
}

// Every apartment entered is left once, and only those: a failed entry is not ours to undo.
int com_entries = 0;
int com_exits = 0;
HRESULT com_answer = S_OK;
HRESULT WINAPI count_entry(LPVOID, DWORD) {
    ++com_entries;
    return com_answer;
}
void WINAPI count_exit() {
    ++com_exits;
}

TEST(ScopedCom, LeavesOnlyTheApartmentItEntered) {
    struct Case {
        HRESULT answer;
        int exits;
    };
    const Case cases[] = {
        {S_OK, 1},
        {S_FALSE, 1},  // already in this apartment: the count still goes up, so it must come down
        {RPC_E_CHANGED_MODE, 0},
        {E_OUTOFMEMORY, 0},
    };
    const ComCalls counting{count_entry, count_exit};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        com_entries = com_exits = 0;
        com_answer = c.answer;
        {
            ScopedCom com(COINIT_APARTMENTTHREADED, counting);
            EXPECT_EQ(c.answer, com.result());
            EXPECT_EQ(0, com_exits);
        }
        EXPECT_EQ(1, com_entries);
        EXPECT_EQ(c.exits, com_exits);
    }
}

TEST_F(AudioMuterTest, ThreadInAnotherApartment) {
    // A thread already in the multithreaded apartment cannot enter a single-threaded one; the owner
    // says so and leaves the thread where it was, and the muter works in the apartment it finds.
    HRESULT entered = S_OK;
    APTTYPE after = APTTYPE_CURRENT;
    bool ready = false;
    std::thread([&] {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
        {
            ScopedCom com;
            entered = com.result();
            std::unique_ptr<AudioMuter> muter(make_muter());
            ready = muter->init();
        }
        APTTYPEQUALIFIER qualifier;
        CoGetApartmentType(&after, &qualifier);
        CoUninitialize();
    }).join();
    EXPECT_EQ(RPC_E_CHANGED_MODE, entered);
    EXPECT_EQ(APTTYPE_MTA, after);
    EXPECT_TRUE(ready);
}

}  // namespace
}  // namespace dvbk
