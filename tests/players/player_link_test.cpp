// The links against fake players on loopback and a real named pipe, under Wine. Times here are
// generous limits for waiting, never claims about speed.
// The fakes bring in Winsock 2, which must come before <windows.h>.
#include "fake_players_win.h"

#include "players/player_link_win.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace dvbk {
namespace {

using testing_fakes::FakeExtension;
using testing_fakes::FakeMpvServer;
using testing_fakes::FakeVlcServer;
using testing_fakes::wait_until;

constexpr UINT REPLIES_WAITING = WM_APP + 1;

// Takes replies every 10 ms until `count` have come or `ms` have passed.
std::vector<PlayerReply> collect(PlayerLink& link, size_t count, DWORD ms) {
    std::vector<PlayerReply> replies;
    wait_until(
        [&] {
            for (PlayerReply& reply : link.take())
                replies.push_back(std::move(reply));
            return replies.size() >= count;
        },
        ms);
    return replies;
}

std::unique_ptr<PlayerLink> vlc_link(const FakeVlcServer& server, std::string password, unsigned interval_ms = 100) {
    return start_vlc_link(nullptr, 0, "127.0.0.1", server.port(), std::move(password), interval_ms);
}

std::string unique_pipe_name() {
    static int count = 0;
    return "\\\\.\\pipe\\dvbk-test-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++count);
}

TEST(VlcLink, PollsAtTheInterval) {
    FakeVlcServer server("secret");
    server.set_body("{\"time\":1}");
    // Read before the link exists: its first poll may be answered before this thread runs on.
    ULONGLONG start = GetTickCount64();
    std::unique_ptr<PlayerLink> link = vlc_link(server, "secret");
    std::vector<PlayerReply> replies = collect(*link, 1000, 1000);
    ULONGLONG elapsed = GetTickCount64() - start;

    // Never more often than every 80 ms (the gaps vary by up to a fifth); at least a few on any machine.
    EXPECT_GE(replies.size(), 3u);
    EXPECT_LE(replies.size(), elapsed / 80 + 2);
    for (const PlayerReply& reply : replies) {
        EXPECT_TRUE(reply.ok) << reply.error;
        EXPECT_EQ("{\"time\":1}", reply.text);
        EXPECT_GE(reply.tick, start);
    }
    // Every poll asks afresh.
    server.set_body("{\"time\":2}");
    replies = collect(*link, 2, 3000);
    ASSERT_EQ(2u, replies.size());
    EXPECT_EQ("{\"time\":2}", replies[1].text);
}

// VLC reads its position when asked; an answer that comes late may have been read late.
TEST(VlcLink, AsksQuicklyWhenToldAndDatesAnswersByTheRequest) {
    FakeVlcServer server("secret");
    server.set_body("{}");
    std::unique_ptr<PlayerLink> link = vlc_link(server, "secret", 20000);
    ASSERT_EQ(1u, collect(*link, 1, 5000).size());  // the first at once, the next not for 16 s

    server.set_delay_ms(300);
    ULONGLONG asked = GetTickCount64();
    link->ask_quickly(true);
    std::vector<PlayerReply> replies = collect(*link, 1, 5000);
    ASSERT_EQ(1u, replies.size());
    EXPECT_TRUE(replies[0].ok);
    EXPECT_GE(replies[0].tick, asked);
    EXPECT_GT(replies[0].latest_tick, replies[0].tick + 200);

    server.set_delay_ms(0);
    EXPECT_EQ(5u, collect(*link, 5, 5000).size());
    link->ask_quickly(false);
    collect(*link, 1000, 500);  // one already asked for
    EXPECT_TRUE(collect(*link, 1, 2000).empty());
}

TEST(VlcLink, FailuresAreRepliesAndPollingGoesOn) {
    using Mode = FakeVlcServer::Mode;
    struct Case {
        const char* what;
        Mode mode;
        bool listening;
        const char* password;
        const char* error;
    };
    const Case cases[] = {
        {"wrong password", Mode::Answer, true, "wrong", "HTTP 401 (wrong password?)"},
        {"garbage", Mode::Garbage, true, "secret", "not an HTTP answer"},
        {"closes without answering", Mode::CloseAtOnce, true, "secret", "closed without answering"},
        {"never answers", Mode::NeverAnswer, true, "secret", "no answer in 1 s"},
        {"nobody listening", Mode::Answer, false, "secret", "connection refused"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeVlcServer server("secret");
        server.set_body("{}");
        server.set_mode(c.mode);
        if (!c.listening) {
            ASSERT_TRUE(server.stop_listening());
        }
        std::unique_ptr<PlayerLink> link = vlc_link(server, c.password);
        std::vector<PlayerReply> replies = collect(*link, 2, 6000);
        ASSERT_EQ(2u, replies.size());
        for (const PlayerReply& reply : replies) {
            EXPECT_FALSE(reply.ok);
            EXPECT_EQ(c.error, reply.error);
        }
        // Once the player behaves, the same link hears it.
        server.set_mode(Mode::Answer);
        ASSERT_TRUE(server.listen_again());
        bool recovered = wait_until(
            [&] {
                std::vector<PlayerReply> more = link->take();
                return !more.empty() && more.back().ok;
            },
            6000);
        EXPECT_EQ(c.password == std::string("secret"), recovered);
    }
}

TEST(VlcLink, GivesUpOnSilenceAndStopsMidAttempt) {
    FakeVlcServer silent("secret");
    silent.set_mode(FakeVlcServer::Mode::NeverAnswer);
    testing_fakes::FullListener full;
    struct Case {
        const char* what;
        const char* host;
        int port;
        const char* error;  // nullptr: depends on the network
    };
    const Case cases[] = {
        {"connect hangs", "127.0.0.1", full.port(), "no answer in 1 s"},
        {"answer never comes", "127.0.0.1", silent.port(), "no answer in 1 s"},
        {"a name, looked up aside", "localhost", silent.port(), "no answer in 1 s"},
        // Hangs too where packets to it are dropped; sandboxes without a route refuse at once.
        {"non-routable address", "10.255.255.1", 80, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<PlayerLink> link = start_vlc_link(nullptr, 0, c.host, c.port, "secret");
        std::vector<PlayerReply> replies = collect(*link, 1, 5000);
        ASSERT_EQ(1u, replies.size());
        EXPECT_FALSE(replies[0].ok);
        if (c.error) {
            EXPECT_EQ(c.error, replies[0].error);
        }
        // The next attempt has started at once (the last one took longer than the interval); the
        // link goes in the middle of it, or the test hangs here.
        Sleep(300);
        link.reset();
    }
}

LRESULT CALLBACK count_posts(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == REPLIES_WAITING) {
        ++*reinterpret_cast<int*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        return 0;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

TEST(VlcLink, PostsOnceUntilTakenAndKeepsTheNewest) {
    WNDCLASSA window_class{};
    window_class.lpfnWndProc = count_posts;
    window_class.hInstance = GetModuleHandleA(nullptr);
    window_class.lpszClassName = "DvbkLinkTest";
    RegisterClassA(&window_class);
    HWND window = CreateWindowExA(0, "DvbkLinkTest", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, window);
    int posts = 0;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&posts));
    auto pump = [] {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
    };

    FakeVlcServer server("secret");
    server.set_body("{}");
    std::unique_ptr<PlayerLink> link = start_vlc_link(window, REPLIES_WAITING, "127.0.0.1", server.port(), "secret", 5);
    // Far more replies than are kept, and not one take(): a single message.
    EXPECT_TRUE(wait_until(
        [&] {
            pump();
            return server.requests() > 80;
        },
        20000));
    pump();
    EXPECT_EQ(1, posts);
    std::vector<PlayerReply> replies = link->take();
    EXPECT_EQ(64u, replies.size());
    // After a take() the next reply is announced again.
    EXPECT_TRUE(wait_until(
        [&] {
            pump();
            return posts == 2;
        },
        5000));
    link.reset();
    DestroyWindow(window);
}

const std::vector<std::string> observe_commands = {
    "{\"command\":[\"observe_property\",1,\"time-pos\"]}", "{\"command\":[\"observe_property\",2,\"pause\"]}",
    "{\"command\":[\"observe_property\",3,\"speed\"]}",    "{\"command\":[\"observe_property\",4,\"path\"]}",
    "{\"command\":[\"observe_property\",5,\"duration\"]}",
};

TEST(MpvLink, AsksForPropertiesAndDeliversWholeLines) {
    std::string name = unique_pipe_name();
    FakeMpvServer server(name);
    std::unique_ptr<PlayerLink> link = start_mpv_link(nullptr, 0, name);
    ASSERT_TRUE(wait_until([&] { return server.lines().size() >= observe_commands.size(); }, 5000));
    EXPECT_EQ(observe_commands, server.lines());

    // As mpv's writes may come: whole, a line in two writes, two lines in one write.
    const std::vector<std::string> writes = {
        "{\"event\":\"property-change\",\"id\":1,\"name\":\"time-pos\",\"data\":1.5}\n",
        "{\"data\":",
        "false}\n",
        "{\"b\":2}\r\n{\"c\":3}\n",
    };
    for (const std::string& bytes : writes) {
        ASSERT_TRUE(server.send(bytes));
        Sleep(50);  // lets the link read each write on its own
    }
    std::vector<PlayerReply> replies = collect(*link, 4, 5000);
    std::vector<std::string> texts;
    for (const PlayerReply& reply : replies) {
        EXPECT_TRUE(reply.ok) << reply.error;
        texts.push_back(reply.text);
    }
    EXPECT_EQ((std::vector<std::string>{"{\"event\":\"property-change\",\"id\":1,\"name\":\"time-pos\",\"data\":1.5}",
                                        "{\"data\":false}", "{\"b\":2}", "{\"c\":3}"}),
              texts);
}

TEST(MpvLink, ReconnectsAndAsksAgain) {
    std::string name = unique_pipe_name();
    FakeMpvServer server(name);
    std::unique_ptr<PlayerLink> link = start_mpv_link(nullptr, 0, name);
    ASSERT_TRUE(wait_until([&] { return server.lines().size() >= observe_commands.size(); }, 5000));

    server.disconnect();
    std::vector<PlayerReply> replies = collect(*link, 1, 5000);
    ASSERT_EQ(1u, replies.size());
    EXPECT_FALSE(replies[0].ok);
    EXPECT_EQ("disconnected", replies[0].error);

    ASSERT_TRUE(wait_until([&] { return server.lines().size() >= 2 * observe_commands.size(); }, 5000));
    EXPECT_EQ(2, server.connections());
    std::vector<std::string> lines = server.lines();
    EXPECT_EQ(observe_commands, std::vector<std::string>(lines.begin() + observe_commands.size(), lines.end()));
    ASSERT_TRUE(server.send("{\"data\":2.5}\n"));
    replies = collect(*link, 1, 5000);
    ASSERT_EQ(1u, replies.size());
    EXPECT_TRUE(replies[0].ok);
    EXPECT_EQ("{\"data\":2.5}", replies[0].text);
}

TEST(MpvLink, MissingPipeIsToldOnceThenFound) {
    std::string name = unique_pipe_name();
    std::unique_ptr<PlayerLink> link = start_mpv_link(nullptr, 0, name);
    // Several retries' worth of time, one reply.
    std::vector<PlayerReply> replies = collect(*link, 2, 1700);
    ASSERT_EQ(1u, replies.size());
    EXPECT_FALSE(replies[0].ok);
    EXPECT_EQ("pipe " + name + " not found", replies[0].error);

    FakeMpvServer server(name);
    EXPECT_TRUE(wait_until([&] { return server.lines().size() >= 2; }, 5000));
}

// A peer that never stops sending waits its turn: the allowed extension is heard meanwhile, and the
// link stops at once however much is still coming.
TEST(BrowserLink, AFloodStarvesNobodyAndDoesNotHoldUpTheStop) {
    const std::string extension = "chrome-extension://abcdefghijklmnopabcdefghijklmnop";
    int port = 0;
    {
        testing_fakes::WinsockUser winsock;
        ScopedSocket probe;
        testing_fakes::listen_on_loopback(probe, port, 1);
    }
    std::unique_ptr<PlayerLink> link = start_browser_link(nullptr, 0, port, {extension}, {});
    ASSERT_EQ(1u, collect(*link, 1, 5000).size());  // listening

    // A stranger's text is read and dropped while it waits for the user: as fast as it comes.
    FakeExtension flood(port, "moz-extension://flood");
    ASSERT_TRUE(wait_until([&] { return flood.has(R"("state":"pending")"); }, 5000));
    std::string frames;
    for (int i = 0; i < 16; ++i)
        frames += FakeExtension::text_frame(std::string(4000, 'x'));
    std::thread flooder([&] {
        while (flood.send_all(frames)) {
        }
    });

    FakeExtension chrome(port, extension);
    EXPECT_TRUE(wait_until([&] { return chrome.has(R"("state":"allowed")"); }, 5000));
    chrome.send_text("report");
    bool heard = false;
    EXPECT_TRUE(wait_until(
        [&] {
            for (const PlayerReply& reply : link->take())
                heard = heard || (reply.ok && reply.text == "report");
            return heard;
        },
        5000));

    ULONGLONG stopping = GetTickCount64();
    link.reset();
    EXPECT_LT(GetTickCount64() - stopping, 1000u);
    flooder.join();  // the link's close ends it
}

}  // namespace
}  // namespace dvbk
