#include "wire/player_messages.h"

#include <gtest/gtest.h>

#include <string>

#include "wire/json_reader.h"

namespace dvbk {
namespace {

// As VLC 3.0.24 sends it, abridged.
const std::string vlc_playing = R"({
  "fullscreen":false,
  "currentplid":3,
  "time":4,
  "state":"playing",
  "information":{"category":{"meta":{"filename":"clip.wav","title":"The \"Clip\" \u00e9\ud83c\udfac \\"},
    "Stream 0":{"Type":"Audio"}},"chapters":[],"titles":[],"title":0,"chapter":0},
  "stats":{"decodedaudio":120,"lostbuffers":0},
  "version":"3.0.24 Vetinari",
  "length":120,
  "position":0.033752042800188,
  "loop":false
})";

std::string nested(int depth) {
    return R"({"state":"paused","time":1,"x":)" + std::string(depth, '[') + std::string(depth, ']') + "}";
}

TEST(PlayerReply, ReadsVlcStatus) {
    using S = PlayerState;
    struct Case {
        std::string json;
        S state;
        double time, length, position;
        double rate = 1.0;
    };
    const Case cases[] = {
        {vlc_playing, S::Playing, 4, 120, 0.033752042800188},
        {"{\"position\":0.5,\"length\":60,\"state\":\"paused\",\"fullscreen\":0,\"time\":30}\r\n", S::Paused, 30, 60,
         0.5},
        {R"({"time":0,"length":0,"position":0,"state":"stopped"})", S::Stopped, 0, 0, 0},
        {R"( { "state" : "paused" , "time" : 1.5e1 } )", S::Paused, 15, 0, -1},
        {R"({"state":"playing","time":7,"length":null,"position":null})", S::Playing, 7, 0, -1},
        {R"({"state":"playing","time":7,"length":-1})", S::Playing, 7, 0, -1},
        // Look-alike members inside nested values and strings are not the status.
        {R"({"information":{"state":"paused","time":99},"title":"\"state\":\"paused\"","state":"playing","time":3})",
         S::Playing, 3, 0, -1},
        {R"({"state":"stopped","time":2,"state":"playing"})", S::Playing, 2, 0, -1},
        {nested(JSON_DEPTH_LIMIT - 1), S::Paused, 1, 0, -1},
        {R"({"state":"playing","time":7,"rate":1.5})", S::Playing, 7, 0, -1, 1.5},
        {R"({"state":"playing","time":7,"rate":0})", S::Playing, 7, 0, -1, 1.0},
        {R"({"state":"playing","time":7,"rate":null})", S::Playing, 7, 0, -1, 1.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.json);
        std::optional<VlcStatus> status = read_vlc_status(c.json);
        ASSERT_TRUE(status);
        EXPECT_EQ(c.state, status->state);
        EXPECT_DOUBLE_EQ(c.time, status->time);
        EXPECT_DOUBLE_EQ(c.length, status->length);
        EXPECT_DOUBLE_EQ(c.position, status->position);
        EXPECT_DOUBLE_EQ(c.rate, status->rate);
    }
}

// The name of what plays, and from the playlist asked for with it, where the file is.
TEST(PlayerReply, ReadsWhatVlcPlays) {
    const std::string p = R"({"state":"playing","time":1,)";
    const std::pair<std::string, const char*> statuses[] = {
        {vlc_playing, "clip.wav"},
        {p + R"("information":{"category":{"meta":{"filename":"a\u0007b"}}}})", ""},
        {p + R"("information":{"category":{"meta":["filename","a"]}}})", ""},
        {p + R"("stats":{"information":{"category":{"meta":{"filename":"a"}}}}})", ""},
    };
    for (const auto& [json, name] : statuses)
        EXPECT_EQ(name, read_vlc_status(json).value_or(VlcStatus{}).file_name) << json;
    // As VLC 3.0.24 writes it, the file on Windows, the current item in a folder's node.
    auto playlist = [](const std::string& current) {
        return R"({"type":"node","id":"0","ro":"rw","children":[{"type":"node","id":"1","ro":"ro","children":[)"
               R"({"type":"leaf","uri":"file:///C:/Films/A.mkv","id":"3","duration":60,"name":"A.mkv"},)"
               R"({"type":"node","id":"5","children":[{"type":"leaf",)" +
               current + R"("id":"4","duration":-1,"ro":"rw","name":"B"}]}],"name":"Playlist"}],"name":""})";
    };
    const std::pair<std::string, const char*> playlists[] = {
        {playlist(R"("uri":"file:///C:/Films/Film%20%282021%29.mkv","current":"current",)"),
         "C:\\Films\\Film (2021).mkv"},
        {playlist(R"("uri":"http://example.com/b.mp4","current":"current",)"), ""},
        {playlist(R"("uri":"file:///C:/Films/B.mkv",)"), ""},
    };
    for (const auto& [json, path] : playlists)
        EXPECT_EQ(path, read_vlc_current_path(json)) << json;
}

TEST(PlayerReply, RefusesWhatIsNotAVlcStatus) {
    const std::string p = R"({"state":"playing","time":)";
    const std::string cases[] = {
        // Not an object, or not only one.
        "", " ", "null", "[]", "\"state\"", "{}", p + "1}x", p + "1}{}", p + "1},", p + std::string("1}\0", 3),
        // Our members missing, of the wrong type, out of range or with an unknown value.
        R"({"state":"playing"})", R"({"time":1})", p + "\"4\"}", p + "null}", p + "true}", R"({"state":1,"time":1})",
        R"({"state":"unknown","time":1})", R"({"state":"Playing","time":1})", p + "1e999}", p + "-1e999}",
        p + R"(1,"length":"120"})", p + R"(1,"position":[0.5]})", p + R"(1,"position":1e400})", p + R"(1,"rate":"2"})",
        // Numbers JSON doesn't have.
        p + "04}", p + "+4}", p + ".5}", p + "4.}", p + "1e}", p + "-}", p + "NaN}", p + "Infinity}", p + "0x10}",
        // Broken strings, objects and words, in members we skip as well as ours.
        p + R"(1,"x":"\i"})", R"({"state":"playing\u12","time":1})", p + R"(1,"x":"\u12G4"})", p + "1,\"x\":\"a\tb\"}",
        R"({'state':'playing','time':1})", p + "1,}", R"({"state" "playing","time":1})", p + "1 /* now */}",
        p + R"(1,"x":tru})", p + R"(1,"x":[1,]})", p + R"(1,"x":{"a"}})",
        // Too deep, balanced or not.
        nested(JSON_DEPTH_LIMIT), nested(10000), p + "1,\"x\":" + std::string(10000, '[')};
    for (const std::string& json : cases) {
        SCOPED_TRACE(testing::PrintToString(json.substr(0, 100)));
        EXPECT_FALSE(read_vlc_status(json));
    }
    // More values than are kept.
    std::string many = p + "1,\"x\":[";
    for (size_t i = 0; i < JSON_KEPT_VALUES_LIMIT; ++i)
        many += "0,";
    EXPECT_FALSE(read_vlc_status(many + "0]}"));
    // Wherever VLC's body is cut off, what came is no status.
    for (size_t size = 0; size < vlc_playing.size(); ++size)
        EXPECT_FALSE(read_vlc_status(vlc_playing.substr(0, size))) << size;
}

TEST(PlayerReply, ReadsMpvLines) {
    using K = MpvMessage::Kind;
    struct Case {
        std::string line;
        std::optional<K> kind = std::nullopt;  // nullopt: refused
        std::optional<double> time_pos = std::nullopt;
        bool paused = false;
        double speed = 1.0;
        std::optional<std::string> path = std::nullopt;
        std::optional<double> duration = std::nullopt;
    };
    const std::string change = R"({"event":"property-change",)";
    const Case cases[] = {
        {change + R"("id":1,"name":"time-pos","data":12.345})", K::TimePos, 12.345},
        {"{\"data\":0,\"name\":\"time-pos\",\"event\":\"property-change\",\"id\":1}\r", K::TimePos, 0.0},
        // Nothing loaded.
        {change + R"("id":1,"name":"time-pos","data":null})", K::TimePos},
        {change + R"("id":1,"name":"time-pos"})", K::TimePos},
        {change + R"("id":2,"name":"pause","data":true})", K::Pause, std::nullopt, true},
        {change + R"("id":2,"name":"pause","data":false})", K::Pause},
        {change + R"("id":3,"name":"speed","data":1.25})", K::Speed, std::nullopt, false, 1.25},
        {change + R"("id":4,"name":"path","data":"C:\\Films\\Film.mkv"})",
         K::Path,
         {},
         false,
         1,
         "C:\\Films\\Film.mkv"},
        {change + R"("id":5,"name":"duration","data":5400.5})", K::Duration, {}, false, 1, {}, 5400.5},
        {change + R"("id":5,"name":"duration"})", K::Duration},
        {R"({"request_id":0,"error":"success"})", K::Other},
        {R"({"data":12.5,"name":"time-pos","request_id":0,"error":"success"})", K::Other},
        {R"({"event":"seek"})", K::Other},
        {change + R"("id":3,"name":"volume","data":"x"})", K::Other},
        {"{}", K::Other},
        // Refused.
        {change + R"("id":1,"name":"time-pos","data":"12"})"},
        {change + R"("id":1,"name":"time-pos","data":1e999})"},
        {change + R"("id":2,"name":"pause","data":1})"},
        {change + R"("id":2,"name":"pause","data":null})"},
        {change + R"("id":3,"name":"speed","data":0})"},
        {change + R"("id":3,"name":"speed","data":null})"},
        {change + R"("id":4,"name":"path","data":["a"]})"},
        {change + R"("id":5,"name":"duration","data":-1})"},
        {change},
        {"{}{}"},
        {"[1]"},
        {"garbage"},
        {"\r"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        std::optional<MpvMessage> message = read_mpv_line(c.line);
        ASSERT_EQ(c.kind.has_value(), message.has_value());
        if (!message)
            continue;
        EXPECT_EQ(c.kind, message->kind);
        EXPECT_EQ(c.time_pos, message->time_pos);
        EXPECT_EQ(c.paused, message->paused);
        EXPECT_EQ(c.speed, message->speed);
        EXPECT_EQ(c.path, message->path);
        EXPECT_EQ(c.duration, message->duration);
    }
}

TEST(PlayerReply, ObserveCommandsAreJsonLines) {
    std::string commands = mpv_observe_commands();
    ASSERT_EQ('\n', commands.back());
    int lines = 0;
    for (size_t start = 0, end; (end = commands.find('\n', start)) != std::string::npos; start = end + 1, ++lines) {
        std::string line = commands.substr(start, end - start);
        std::optional<std::vector<JsonMember>> members = read_json_object(line);
        ASSERT_TRUE(members) << line;
        EXPECT_EQ(JsonKind::Array, find_member(*members, "command")->kind);
    }
    EXPECT_EQ(3, lines);
}

}  // namespace
}  // namespace dvbk
