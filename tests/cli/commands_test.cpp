#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "cli_test_util.h"

namespace dvbk {
namespace {

const std::string sample =
    "# a sample\n"
    "Dunvel, 0:00:10, 0:00:14.5\n"
    "Blenk, 0:00:20, 0:00:25\n"
    "DunvelBlenk, 0:00:30, 0:00:33\n"
    "End, 0:01:00\n";

TEST(DvbkCommands, CheckAndEventsPrintExactLines) {
    struct Case {
        std::string command;
        std::string script;
        int code;
        std::string out;
        std::string err;
    };
    const Case cases[] = {
        {"check", sample, 0,
         "OK: 7 events, 2 mute ranges, 2 cover ranges, muted 0:00:08, covered 0:00:08, end 0:01:00\n", ""},
        // Overlapping mute and cover each count in full; a combined range counts in both.
        {"check", "Dunvel,0,90\r\nBlenk,30,100\r\nDunvelBlenk,100,130\r\n", 0,
         "OK: 7 events, 2 mute ranges, 2 cover ranges, muted 0:02:00, covered 0:01:40, end 0:00:00\n", ""},
        {"check", "Dunvel,1,2\nFoo,3,4\n", 1, "",
         "Error processing file: Unexpected command: Foo,3,4 in file: <stdin> at line 2\n"},
        {"check", "# nothing\n", 1, "", "Error, file '<stdin>' has no valid commands\n"},
        {"check", "\xEF\xBB\xBF# saved by Notepad\r\nBlenk,1,2\r\n", 0,
         "OK: 2 events, 0 mute ranges, 1 cover ranges, muted 0:00:00, covered 0:00:01, end 0:00:00\n", ""},
        {"events", "Blenk,0.1,1:00.3\nDunvelBlenk,1:00.3,61\nEnd,1:52:00\n", 0,
         "0.1\tCoverStart\n60.3\tCoverEnd\n60.3\tBothStart\n61\tMuteEnd\n61\tCoverEnd\nEnd\t6720\n", ""},
        {"events", "Dunvel,1e-7,2e21\n", 0, "1e-07\tMuteStart\n2e+21\tMuteEnd\nEnd\t0\n", ""},
        {"events", "Dunvel,5,1\n", 1, "",
         "Error processing file: Start time must be before end time: Dunvel,5,1 in file: <stdin> at line 1\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command + ": " + c.script);
        Outcome result = run({c.command, "-"}, c.script);
        EXPECT_EQ(c.code, result.code);
        EXPECT_EQ(c.out, result.out);
        EXPECT_EQ(c.err, result.err);
    }
}

TEST(DvbkCommands, UsageErrorsExitTwoWithOneLineHint) {
    const std::vector<std::string> cases[] = {
        {},
        {"frob", "a"},
        {"check"},
        {"check", "a", "b"},
        {"check", "--to", "kodi", "a"},
        {"export", "a"},
        {"export", "--to", "vlc", "a"},
        {"export", "--to=kodi", "--cover", "hide", "a"},
        {"export", "--to", "kodi", "--to", "mplayer", "a"},
        {"import", "a", "--from"},
        {"import", "--from", "kodi", "--only", "x", "a"},
        {"import", "--from", "mcf", "--fps", "24", "a"},
        {"describe", "a"},
        {"describe", "--match", "url=x", "a"},
        {"describe", "--film", "A", "--film", "B", "a"},
        {"match", "--duration", "0", "a"},
        {"match", "-"},
        {"retime", "--offset", "1", "--copy", "file=a.mkv", "-"},
        {"import", "--from", "kodi", "--fps", "0", "a"},
        {"import", "--from", "mcf", "--min-severity", "extreme", "a"},
        {"import", "--from", "mcf", "--only", "a,,b", "a"},
        {"import", "--from", "mcf", "--sync", "0:10,0:05", "a"},
        {"import", "--from", "mcf", "--sync", "0:10", "a"},
        {"export", "--to", "skp", "--cover", "drop", "a"},
        {"import", "--from", "kodi", "--categories", "vio", "a"},
        {"import", "--from", "skp", "--only", "vio", "a"},
        {"import", "--from", "skp", "--max-severity", "4", "a"},
        {"import", "--from", "skp", "--max-severity", "high", "a"},
        {"import", "--from", "mcf", "--max-severity", "2", "a"},
        {"import", "--from", "mcf", "--categories", "a", "--only", "b", "a"},
        {"import", "--from", "mcf", "--max-severity", "low", "--min-severity", "low", "a"},
        {"subtitles", "--pad-before", "-1", "a"},
        {"subtitles", "--pad-after=5.5", "a"},
        {"subtitles", "--whole-cue=yes", "a"},
        {"subtitles", "a", "-o"},
        {"subtitles", "--o", "x", "a"},
        {"subtitles", "--words", "-", "-"},
    };
    for (const std::vector<std::string>& args : cases) {
        SCOPED_TRACE(testing::PrintToString(args));
        Outcome result = run(args);
        EXPECT_EQ(2, result.code);
        EXPECT_EQ("", result.out);
        EXPECT_TRUE(result.err.starts_with("dvbk: ")) << result.err;
        EXPECT_TRUE(result.err.ends_with(" (see dvbk --help)\n")) << result.err;
        EXPECT_EQ(1, std::count(result.err.begin(), result.err.end(), '\n')) << result.err;
    }
    EXPECT_EQ("dvbk: no command given (see dvbk --help)\n", run({}).err);
}

TEST(DvbkCommands, HelpVersionAndOptionForms) {
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--help"}, {"import", "-h"}}) {
        Outcome help = run(args);
        EXPECT_EQ(0, help.code);
        EXPECT_TRUE(help.out.starts_with("Usage: dvbk COMMAND")) << help.out;
    }
    Outcome version = run({"--version"});
    EXPECT_EQ(0, version.code);
    EXPECT_TRUE(version.out.starts_with("dvbk 1.")) << version.out;
    // "--to kodi" and "--to=kodi" alike, options after the file, "--" before a file named like one.
    EXPECT_EQ(run({"export", "--to", "kodi", "-"}, sample).out, run({"export", "-", "--to=kodi"}, sample).out);
    EXPECT_EQ(0, run({"check", "--", "-"}, sample).code);
}

TEST(DvbkCommands, FileProblemsAreFailures) {
    std::string missing = testing::TempDir() + "no-such-script.dvbk";
    for (const char* command : {"check", "events"}) {
        Outcome result = run({command, missing});
        EXPECT_EQ(1, result.code);
        EXPECT_EQ("Error opening file '" + missing + "'\n", result.err);
    }
    EXPECT_EQ(1, run({"import", "--from", "kodi", missing}).code);

    // A folder opens on some systems but cannot be read: that must not pass for an empty file.
    std::string folder = testing::TempDir();
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"check", folder}, {"import", "--from", "kodi", folder}}) {
        Outcome result = run(args);
        EXPECT_EQ(1, result.code);
        EXPECT_EQ("", result.out);
        EXPECT_NE("", result.err);
    }

    std::string path = testing::TempDir() + "dvbk-crlf.dvbk";
    std::ofstream(path, std::ios::binary) << "Dunvel,1,2\r\nEnd,1:00\r\n";
    EXPECT_EQ("OK: 2 events, 1 mute ranges, 0 cover ranges, muted 0:00:01, covered 0:00:00, end 0:01:00\n",
              run({"check", path}).out);
}

TEST(DvbkCommands, SubtitlesWritesScriptAndSummary) {
    std::string dir = testing::TempDir();
    std::string srt = dir + "dvbk-film.srt";
    std::ofstream(srt, std::ios::binary) << "1\r\n00:00:01,000 --> 00:00:03,000\r\nDamn, hell!\r\n";
    std::ofstream(dir + "dvbk-words.txt", std::ios::binary) << "hell\r\n";
    for (const char* gone : {"words.txt", "dvbk-film.dvbk", "dvbk-none.dvbk"})
        std::remove((dir + gone).c_str());
    std::string words = "--words=" + dir + "dvbk-words.txt";
    std::string script = "# Mute ranges around the listed words in the subtitles " + srt + "\nDunvel, 0:00:01";
    std::string summary = "1 cue, 1 matched (1 word): 1 mute range, 0:00:0";
    const std::vector<std::string> cases[] = {
        // The arguments after "subtitles", the exit code, standard output, the start of standard
        // error; standard input holds a word list.
        {words, srt, "0", script + ".5, 0:00:03, hell\n", summary + "1.5 muted\n"},
        {"--whole-cue", words, "-o", dir + "dvbk-film.dvbk", srt, "0", "", summary + "2 muted\n"},
        {"--words", "-", "-o", dir + "dvbk-none.dvbk", srt, "1", "",
         "dvbk: " + srt + ": none of its 1 cues has a word"},
        {srt, "1", "", "Error opening file '" + dir + "words.txt'\ndvbk: the word list is missing beside dvbk"},
        {words, "-o", srt, srt, "2", "", "dvbk: -o names the subtitles or the word list"},
    };
    for (const std::vector<std::string>& c : cases) {
        std::vector<std::string> args = {"subtitles"};
        args.insert(args.end(), c.begin(), c.end() - 3);
        SCOPED_TRACE(testing::PrintToString(args));
        Outcome result = run(args, "heck\n", dir);
        EXPECT_EQ(c[c.size() - 3], std::to_string(result.code));
        EXPECT_EQ(c[c.size() - 2], result.out);
        EXPECT_TRUE(result.err.starts_with(c.back())) << result.err;
    }
    std::ifstream written(dir + "dvbk-film.dvbk", std::ios::binary);
    EXPECT_EQ(script + ", 0:00:03, hell\n", std::string(std::istreambuf_iterator<char>(written), {}));
    EXPECT_FALSE(std::ifstream(dir + "dvbk-none.dvbk"));
}

// Hands out its text, then fails as a disk or network read does.
class BrokenRead : public std::streambuf {
public:
    explicit BrokenRead(std::string text) : text_(std::move(text)) {
        setg(text_.data(), text_.data(), text_.data() + text_.size());
    }

protected:
    int_type underflow() override { throw std::ios_base::failure("read error"); }

private:
    std::string text_;
};

TEST(DvbkCommands, ReadErrorIsAFailureEvenAfterGoodLines) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"check", "-"}, {"import", "--from", "kodi", "-"}}) {
        BrokenRead broken(args[0] == "check" ? "Dunvel,1,2\n" : "1 2 1\n");
        std::istream in(&broken);
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(1, run_dvbk(args, in, out, err));
        EXPECT_EQ("", out.str());
        EXPECT_EQ("Error reading file '<stdin>': could not be read to its end\n", err.str());
    }
}

TEST(DvbkCommands, OutputThatCannotBeWrittenFails) {
    std::istringstream in(sample);
    std::ostringstream out;
    out.setstate(std::ios::badbit);
    std::ostringstream err;
    EXPECT_EQ(1, run_dvbk({"check", "-"}, in, out, err));
    EXPECT_EQ("dvbk: the output could not be written\n", err.str());
}

}  // namespace
}  // namespace dvbk
