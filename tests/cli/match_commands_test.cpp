#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "cli_test_util.h"
#include "script/video_hash.h"

namespace dvbk {
namespace {

TEST(DvbkMatch, ScriptsOfAFolderBestFirst) {
    const std::string folder = testing::TempDir() + "dvbk-match", video = testing::TempDir() + "dvbk-clip.mp4";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directory(folder);
    std::ofstream(video, std::ios::binary) << "not much of a film";
    std::string hash;
    ASSERT_TRUE(hash_of_file(video, hash));
    for (auto [name, text] : std::vector<std::pair<std::string, std::string>>{
             {"heat.dvbk", "# film: Heat (1995)\r\n# duration: 2:50:00\r\n# match: file=Heat.mkv\r\nDunvel,1,2\r\n"},
             {"heat-title.txt", "# film: Heat (1995)\nBlenk,1,2\n"},
             {"net.DVBK",
              "# match: page=*netflix.com/watch/6002*\n# match: hash=zz\n# match: hash=" + hash + "\nBlenk,1,2\n"},
             {"bad.dvbk", "Foo,1,2\n"},
             {"notes.md", "# match: file=Heat.mkv\n"},
         })
        std::ofstream(folder + "/" + name, std::ios::binary) << text;
    auto in_folder = [&](const char* name) { return (std::filesystem::path(folder) / name).string(); };
    struct Case {
        std::vector<std::string> args;
        int code;
        std::string out;
    };
    const Case cases[] = {
        {{"--title", "heat", "films/Heat.mkv"},
         0,
         in_folder("heat.dvbk") + "\tits file name\n" + in_folder("heat-title.txt") + "\tits title\n"},
        {{"--title", "Heat", "--duration", "1:00:00", "Heat.mkv"}, 0, in_folder("heat-title.txt") + "\tits title\n"},
        {{"HTTPS://www.netflix.com/watch/6002?t=1"}, 0, in_folder("net.DVBK") + "\tits page\n"},
        {{video}, 0, in_folder("net.DVBK") + "\tits hash\n"},
        {{"other.mkv"}, 1, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        std::vector<std::string> args = {"match", "--folder", folder};
        args.insert(args.end(), c.args.begin(), c.args.end());
        Outcome result = run(args);
        EXPECT_EQ(c.code, result.code);
        EXPECT_EQ(c.out, result.out);
        EXPECT_NE(std::string::npos, result.err.find("warning: skipped: Error processing file: Unexpected command"));
        EXPECT_NE(std::string::npos, result.err.find("net.DVBK line 2: hash= takes 16 hex digits")) << result.err;
    }
    EXPECT_EQ(1, run({"match", "--folder", folder + "/none", "Heat.mkv"}).code);

    // Without --folder, the folder the program's settings name.
    const std::string data = testing::TempDir() + "dvbk-programdata";
    std::filesystem::create_directories(data + "/DunvelBlenk");
    std::ofstream(data + "/DunvelBlenk/settings.xml") << "<scripts_folder>" << folder << "</scripts_folder>\n";
    const char* before = std::getenv("PROGRAMDATA");
    std::string kept = before ? before : "";
    auto set_data = [](const std::string& value) {
#ifdef _WIN32
        _putenv_s("PROGRAMDATA", value.c_str());
#else
        setenv("PROGRAMDATA", value.c_str(), 1);
#endif
    };
    set_data(data);
    EXPECT_EQ(in_folder("heat.dvbk") + "\tits file name\n", run({"match", "Heat.mkv"}).out);
    set_data(kept);
}

TEST(DvbkMatch, DescribeAndRetimeToACopyWriteCommentLinesOnly) {
    struct Case {
        std::vector<std::string> args;
        std::string input;
        int code;
        std::string out;
    };
    const Case cases[] = {
        {{"describe", "--match", "hash=0123456789ABCDEF", "--match=file=Heat.mkv", "--film", "Heat (1995)"},
         "\xEF\xBB\xBF# Heat\r\n# match: file=Heat.mkv\r\n\r\nDunvel,1,2\r\n",
         0,
         "\xEF\xBB\xBF# Heat\r\n# match: file=Heat.mkv\r\n# film: Heat (1995)\r\n# match: hash=0123456789abcdef\r\n\r\n"
         "Dunvel,1,2\r\n"},
        {{"describe", "--duration", "1:52:03"}, "Foo,1,2\n", 1, ""},
        {{"retime", "--offset", "-1:30", "--copy", "page=https://x.example/a"},
         "# copy: page=https://x.example/a offset=+1\nDunvel,1,2\n",
         0,
         "# copy: page=https://x.example/a offset=-90 rate=1\nDunvel,1,2\n"},
        {{"retime", "--map", "0=0,40:00=38:24", "--copy", "hash=0123456789abcdef"},
         "Dunvel,1,2",
         0,
         "# copy: hash=0123456789abcdef offset=+0 rate=0.96\r\nDunvel,1,2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        std::vector<std::string> args = c.args;
        args.push_back("-");
        Outcome result = run(args, c.input);
        EXPECT_EQ(c.code, result.code) << result.err;
        EXPECT_EQ(c.out, result.out);
    }
}

}  // namespace
}  // namespace dvbk
