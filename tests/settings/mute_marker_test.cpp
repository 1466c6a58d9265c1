#include "settings/mute_marker.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace dvbk {
namespace {

const MuteMarker speakers{{false, "{0.0.0.00000000}.{5f1e2a3b-0c4d-4e5f-8a9b-0c1d2e3f4a5b}"},
                          133600000000000000,
                          {4242, 133599999990000000}};

// A marker that is not certain which output, or which process, switches nothing on.
TEST(MuteMarker, ReadsOnlyACompleteMarker) {
    const std::string tail =
        "<muted_at>1</muted_at>\n<process_id>8</process_id>\n<process_created>9</process_created>\n";
    struct Case {
        const char* what;
        std::string text;
        std::optional<MuteMarker> marker;
    };
    const Case cases[] = {
        {"as written", mute_marker_text(speakers), speakers},
        {"CR LF", mute_marker_text(speakers, "\r\n"), speakers},
        {"the mixer", "<mixer>0</mixer>\n" + tail, MuteMarker{{true, ""}, 1, {8, 9}}},
        {"references undone", "<endpoint>a&lt;b&amp;c&#10;</endpoint>\n" + tail,
         MuteMarker{{false, "a<b&c\n"}, 1, {8, 9}}},
        {"largest numbers",
         "<endpoint>x</endpoint>\n<muted_at>18446744073709551615</muted_at>\n<process_id>4294967295</process_id>\n"
         "<process_created>18446744073709551615</process_created>\n",
         MuteMarker{{false, "x"}, 18446744073709551615u, {4294967295u, 18446744073709551615u}}},
        {"no output", tail, std::nullopt},
        {"an empty endpoint", "<endpoint></endpoint>\n" + tail, std::nullopt},
        {"two outputs", "<endpoint>x</endpoint>\n<mixer>0</mixer>\n" + tail, std::nullopt},
        {"another mixer", "<mixer>1</mixer>\n" + tail, std::nullopt},
        {"no process id", "<endpoint>x</endpoint>\n<muted_at>1</muted_at>\n<process_created>9</process_created>\n",
         std::nullopt},
        {"no time", "<endpoint>x</endpoint>\n<process_id>8</process_id>\n<process_created>9</process_created>\n",
         std::nullopt},
        {"process 0", "<endpoint>x</endpoint>\n" + tail + "<process_id>0</process_id>\n", std::nullopt},
        {"process id too large", "<endpoint>x</endpoint>\n" + tail + "<process_id>4294967296</process_id>\n",
         std::nullopt},
        {"time too large", "<endpoint>x</endpoint>\n" + tail + "<muted_at>18446744073709551616</muted_at>\n",
         std::nullopt},
        {"a sign", "<endpoint>x</endpoint>\n" + tail + "<process_id>+8</process_id>\n", std::nullopt},
        {"trailing text", "<endpoint>x</endpoint>\n" + tail + "<process_id>8x</process_id>\n", std::nullopt},
        {"cut short", mute_marker_text(speakers).substr(0, 120), std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.marker, read_mute_marker(c.text));
    }
}

}  // namespace
}  // namespace dvbk
