// Against the real Core Audio: scripts/test runs this once with a sound server that has a
// null sink and once with PULSE_SERVER pointing at nothing.
#include "audio/audio_muter_win.h"

#include <gtest/gtest.h>

#include <regex>

namespace dvbk {
namespace {

// Wine keeps an endpoint's mute flag on the interface object it hands out, so a second reader
// cannot see it; what is checked here is that every call of the real stack succeeds.
TEST(SoundServerUp, MutesAndUnmutesTheDefaultOutput) {
    ScopedCom com;
    AudioMuter muter;
    ASSERT_TRUE(muter.init()) << muter.last_error();
    EXPECT_FALSE(muter.use_mixer());
    EXPECT_TRUE(muter.mute()) << muter.last_error();
    EXPECT_TRUE(muter.unmute()) << muter.last_error();
    EXPECT_TRUE(muter.init());
    EXPECT_EQ("", muter.last_error());
}

TEST(SoundServerDown, InitFailsWithOneLine) {
    ScopedCom com;
    AudioMuter muter;
    EXPECT_FALSE(muter.init());
    EXPECT_TRUE(std::regex_match(muter.last_error(), std::regex("[A-Za-z:()]+ failed: hr = 0x[0-9a-f]{1,8}\n")))
        << muter.last_error();
    EXPECT_FALSE(muter.mute());
    RecordProperty("last_error", muter.last_error());
}

}  // namespace
}  // namespace dvbk
