#include "cli_test_util.h"

namespace dvbk {
namespace {

struct Case {
    std::vector<std::string> options;
    std::string input;
    int code;
    std::string out;  // the script after its comment line, or the EDL
    std::vector<std::string> warnings;
};

void expect_import(const char* format, const Case& c) {
    std::vector<std::string> args = {"import", "--from", format};
    args.insert(args.end(), c.options.begin(), c.options.end());
    args.push_back("-");
    Outcome result = run(args, c.input);
    EXPECT_EQ(c.code, result.code) << result.err;
    if (c.code == 0) {
        EXPECT_EQ(c.out, body(result.out));
        expect_warnings(c.warnings, result.err);
    } else {
        EXPECT_EQ("", result.out);
        EXPECT_NE(std::string::npos, result.err.find(c.out)) << result.err;
    }
}

TEST(DvbkImport, KodiEdl) {
    const Case cases[] = {
        {{},
         "10 20.5 0\n1:00 1:10.25 1\n01:02:03.4567 1:02:04 3\n",
         0,
         "DunvelBlenk, 0:00:10, 0:00:20.5\nDunvel, 0:01:00, 0:01:10.25\nDunvelBlenk, 1:02:03.456, 1:02:04\n",
         {}},
        {{},
         "## note\n5 2\n30 30 2\n40\t50 1 extra words\n",
         0,
         "Dunvel, 0:00:40, 0:00:50\n",
         {"<stdin> line 2: scene marker dropped: 5 2", "<stdin> line 3: scene marker dropped: 30 30 2"}},
        {{},
         "x 10 0\n10 20\n10 20 7\n1:2:3:4 5 0\n1:02.1.5 70 0\n-1 5 0\n30 20 0\n40 40 1\n"
         "# 1 2 0\n50 60 0\n",
         0,
         "DunvelBlenk, 0:00:50, 0:01:00\n",
         {"line 1: skipped, bad time 'x': x 10 0", "line 2: skipped, not START END ACTION: 10 20",
          "line 3: skipped, unknown action '7'", "line 4: skipped, bad time '1:2:3:4'",
          "line 5: skipped, bad time '1:02.1.5'", "line 6: skipped, bad time '-1'",
          "line 7: skipped, the end is before the start", "line 8: skipped, empty range",
          "line 9: skipped, bad time '#'"}},
        // Kept and joined where the players would balk; touching ranges stay apart.
        {{},
         "10 20 0\n15 30 1\n30 40 1\n5 8 0\n",
         0,
         "DunvelBlenk, 0:00:05, 0:00:08\nBlenk, 0:00:10, 0:00:20\nDunvel, 0:00:10, 0:00:30\nDunvel, 0:00:30, 0:00:40\n",
         {"line 2: kept, but players may reject it: it overlaps the range above",
          "line 3: kept, but players may reject it: it touches the range above",
          "line 4: kept, but players may reject it: it starts before the range above"}},
        {{"--fps", "25"},
         "#250 #500 0\n#1000 1:00 1\n",
         0,
         "DunvelBlenk, 0:00:10, 0:00:20\nDunvel, 0:00:40, 0:01:00\n",
         {}},
        {{},
         "\xEF\xBB\xBF"
         "10 20 1\r\n30 40 0\r\n",
         0,
         "Dunvel, 0:00:10, 0:00:20\nDunvelBlenk, 0:00:30, 0:00:40\n",
         {}},
        {{},
         "10 20 0\n#5 #9 0\n",
         1,
         "dvbk: <stdin> line 2: frame number '#5' needs --fps, the film's frames per second\n",
         {}},
        {{}, "## a comment\n5 2\n", 1, "dvbk: <stdin>: no ranges to import\n", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input);
        expect_import("kodi", c);
    }
}

TEST(DvbkImport, MPlayerEdl) {
    const Case cases[] = {
        {{},
         "# skip the intro\n10 20.5 0\n30 40 1\n",
         0,
         "DunvelBlenk, 0:00:10, 0:00:20.5\nDunvel, 0:00:30, 0:00:40\n",
         {}},
        {{},
         "1:00 1:10 1\n10 20 0 x\n10 20 3\n#5 #6 0\n 50\t60 1 \r\n",
         0,
         "Dunvel, 0:00:50, 0:01:00\n",
         {"line 1: skipped, bad time '1:00'", "line 2: skipped, not START END ACTION",
          "line 3: skipped, unknown action '3'"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input);
        expect_import("mplayer", c);
    }
}

const std::string mcf =
    "WEBVTT Movie Content Filter 1.0.0\n"
    "\n"
    "NOTE\n"
    "START 00:00:06.000\n"
    "END 00:58:04.000\n"
    "\n"
    "00:02:59.000 --> 00:03:08.000\n"
    "violence=medium=video\n"
    "fear=high=video\n"
    "\n"
    "cue-2\n"
    "00:03:00.000 --> 00:04:00.500 align:start\n"
    "language=low=audio\n"
    "\n"
    "\n"
    "00:10:00.000 --> 00:10:05.000\n"
    "nudity=high\n";

std::string windows_text(const std::string& text) {
    std::string result = "\xEF\xBB\xBF";
    for (char c : text)
        result += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return result;
}

TEST(DvbkImport, MovieContentFilter) {
    const std::string all =
        "Blenk, 0:02:59, 0:03:08, violence medium, fear high\nDunvel, 0:03:00, 0:04:00.5, language low\n"
        "DunvelBlenk, 0:10:00, 0:10:05, nudity high\nEnd, 0:58:04\n";
    const std::string header = "WEBVTT Movie Content Filter 1.0.0\n\n";
    const Case cases[] = {
        {{}, mcf, 0, all, {}},
        {{}, windows_text(mcf), 0, all, {}},
        {{"--min-severity", "high"},
         mcf,
         0,
         "Blenk, 0:02:59, 0:03:08, fear high\nDunvelBlenk, 0:10:00, 0:10:05, nudity high\nEnd, 0:58:04\n",
         {"left out: 1 cue below severity high"}},
        {{"--only", "LANGUAGE,drugs"},
         mcf,
         0,
         "Dunvel, 0:03:00, 0:04:00.5, language low\nEnd, 0:58:04\n",
         {"no cue has the category 'drugs'", "left out: 2 cues of other categories"}},
        // The user's copy runs at half the speed and starts 3 s after its first frame.
        {{"--sync", "0:00:03,0:29:02"},
         mcf,
         0,
         "Blenk, 0:01:29.5, 0:01:34, violence medium, fear high\nDunvel, 0:01:30, 0:02:00.25, language low\n"
         "DunvelBlenk, 0:05:00, 0:05:02.5, nudity high\nEnd, 0:29:02\n",
         {}},
        {{"--sync", "0,50"},
         header + "NOTE\nSTART 00:00:10.000\nEND 00:01:00.000\n\n00:00:01.000 --> 00:00:05.000\na=low\n\n"
                  "00:00:08.000 --> 00:00:20.000\nb=low\n",
         0,
         "DunvelBlenk, 0:00:00, 0:00:10, b low\nEnd, 0:00:50\n",
         {"line 7: cue skipped, it ends before the film starts once --sync moves it"}},
        {{},
         header + "00:00:05.000 --> 00:00:01.000\nv=low\n\n00:00:05.000 -> 00:00:06.000\nv=low\n\n"
                  "00:07.000 --> 00:08.000\nv=extreme\nv=low=smell\nv\n\n00:00:09.000 --> 00:00:10.000\n\n"
                  "00:00:11.000 --> 00:00:12.000\nsex=high=audio\nsex=low=video\n",
         0,
         "DunvelBlenk, 0:00:11, 0:00:12, sex high, sex low\n",
         {"line 3: cue skipped, the end is before the start", "line 6: skipped, a block without a cue timing line",
          "line 10: ignored, unknown severity 'extreme'", "line 11: ignored, unknown channel 'smell'",
          "line 12: ignored, not category=severity=channel: v", "line 14: cue skipped, it has no category line"}},
        // The header as the format's description writes it, and comments after the content.
        {{},
         "WEBVTT MovieContentFilter 1.0.0\n\n00:00:01.000 --> 00:00:02.000\nlanguage=high=audio  said twice\n"
         "violence=low=video\tpunch (off screen)\n",
         0,
         "DunvelBlenk, 0:00:01, 0:00:02, language high (said twice), violence low (punch (off screen))\n",
         {}},
        {{"--categories", "Violence,fear", "--max-severity", "medium"},
         mcf,
         0,
         "Blenk, 0:02:59, 0:03:08, fear high\nEnd, 0:58:04\n",
         {"left out: 2 cues of other categories"}},
        {{"--max-severity", "low"},
         mcf,
         0,
         "Blenk, 0:02:59, 0:03:08, violence medium, fear high\nDunvelBlenk, 0:10:00, 0:10:05, nudity high\n"
         "End, 0:58:04\n",
         {"left out: 1 cue at or below severity low"}},
        {{}, "WEBVTT\n\n00:01.000 --> 00:02.000\nv=low\n", 1, "not a Movie Content Filter file", {}},
        {{},
         "WEBVTT Movie Content Filter 2.0.0\n\n00:01.000 --> 00:02.000\nv=low\n",
         1,
         "not a Movie Content Filter file",
         {}},
        {{"--sync", "0,50"},
         header + "00:01.000 --> 00:02.000\nv=low\n",
         1,
         "dvbk: <stdin>: --sync needs the START and END lines of the file's NOTE block\n",
         {}},
        {{"--sync", "0,50"},
         header + "NOTE\nSTART 00:01:00.000\nEND 00:01:00.000\n",
         1,
         "dvbk: <stdin>: --sync needs the file's END after its START\n",
         {}},
        {{"--min-severity", "high"},
         header + "00:01.000 --> 00:02.000\nv=low\n",
         1,
         "dvbk: <stdin>: no ranges to import\n",
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.options) + c.input);
        expect_import("mcf", c);
    }
}

const std::string skp =
    "0:00:41.5\n"
    "The title card, white letters on a night sky\n"
    "data:image/png;base64,iVBORw0KGgo=\n"
    "\n"
    "0:14:08.27 --> 0:14:14\n"
    "nude image 1 (male, from behind)\n"
    "\n"
    "0:20:00 --> 0:20:05.5\n"
    "2 word Profanity\n"
    "\n"
    "0:31:12.4 --> 0:31:40\n"
    "(the fight in the barn) vio 3\n"
    "\n"
    "00:52:00.00 --> 00:52:30.00\n"
    "fri 2 image\n";

TEST(DvbkImport, SkipFile) {
    const std::string all =
        "Blenk, 0:14:08.27, 0:14:14, nude 1 (male, from behind)\nDunvel, 0:20:00, 0:20:05.5, Profanity 2\n"
        "DunvelBlenk, 0:31:12.4, 0:31:40, vio 3 (the fight in the barn)\nBlenk, 0:52:00, 0:52:30, fri 2\n";
    const Case cases[] = {
        {{}, skp, 0, all, {}},
        {{"--max-severity", "0"}, windows_text(skp), 0, all, {}},
        {{"--categories", "VIOLENCE,pro,alcohol", "--max-severity", "2"},
         skp,
         0,
         "DunvelBlenk, 0:31:12.4, 0:31:40, vio 3 (the fight in the barn)\n",
         {"no cue has the category 'alcohol'", "left out: 2 cues of other categories, 1 at or below severity 2"}},
        // A file may start with its first range.
        {{}, "1:00 --> 1:10\nsex 3\n", 0, "DunvelBlenk, 0:01:00, 0:01:10, sex 3\n", {}},
        {{},
         "0:00:05\nblack\n\n0:01:00 --> 0:00:50\nsex 3\n\n0:01:00 -> 0:01:10\nsex 3\n\n"
         "0:02:00 --> 0:02:10\nsex image\n\n0:03:00 --> 0:03:10\nsex 4\n\n0:04:00 --> 0:04:10\n1 3 vio\n\n"
         "0:05:00 --> 0:05:10\n\n0:06:00 --> 0:06:10\nvio 2 sound\nsecond line\n\n"
         "0:07:00 --> 0:07:10\nvio word 2 image\n",
         0,
         "DunvelBlenk, 0:06:00, 0:06:10, vio 2\nDunvel, 0:07:00, 0:07:10, vio 2\n",
         {"line 4: block skipped, the end is before the start: 0:01:00 --> 0:00:50",
          "line 7: block skipped, bad timing line", "line 11: block skipped, no rating 1, 2 or 3: sex image",
          "line 14: block skipped, the rating '4' is not 1, 2 or 3", "line 17: block skipped, two ratings, '1' and '3'",
          "line 19: block skipped, it has no label line",
          "line 22: unknown handling 'sound', the picture and the sound go",
          "line 23: ignored, a line after the label: second line", "line 26: ignored, unknown word 'image'"}},
        // Joined ranges keep the most severe label, of equals the first.
        {{},
         "0:00:01\nx\n\n10 --> 20\nvio image 1\n\n12 --> 14\nnud image 3\n\n15 --> 25\nsex image 3\n\n"
         "30 --> 40\nvio word 2\n\n30 --> 40\npro image 1\n",
         0,
         "Blenk, 0:00:10, 0:00:25, nud 3\nDunvelBlenk, 0:00:30, 0:00:40, vio 2\n",
         {}},
        {{}, "WEBVTT MovieContentFilter 1.0.0\n\n", 1, "dvbk: <stdin> line 1: not a skip file", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.options) + c.input);
        expect_import("skp", c);
    }
}

TEST(DvbkExport, BothDialectsWriteSortedApartRanges) {
    const std::string sample = "Dunvel,10,14.5\nBlenk,20,25\nDunvelBlenk,30,33\nEnd,1:00\n";
    const Case cases[] = {
        {{},
         sample,
         0,
         "10.000 14.500 1\n20.000 25.000 0\n30.000 33.000 0\n",
         {"cover range 0:00:20-0:00:25 becomes a skip: an EDL cannot hide the picture and keep the sound "
          "(--cover=drop leaves it out)",
          "the film's end (0:01:00) is left out: an EDL has no place for it"}},
        {{"--cover=drop"},
         sample,
         0,
         "10.000 14.500 1\n30.000 33.000 1\n",
         {"cover range 0:00:20-0:00:25 is left out: an EDL cannot hide the picture and keep the sound",
          "combined range 0:00:30-0:00:33 keeps only its mute: an EDL cannot hide the picture and keep the sound",
          "the film's end (0:01:00) is left out"}},
        // Touching ranges of one action join; a mute gives way to a skip, and a millisecond more
        // where the two would touch.
        {{},
         "Dunvel,0,5\nDunvel,5,12\nBlenk,10,20\nBlenk,20,30\nDunvel,25,40\n",
         0,
         "0.000 9.999 1\n10.000 30.000 0\n30.001 40.000 1\n",
         {"cover range 0:00:10-0:00:20 becomes a skip", "cover range 0:00:20-0:00:30 becomes a skip",
          "mute range 0:00:00-0:00:10 is shortened by 1 ms where it meets a skip: players reject touching ranges",
          "mute range 0:00:30-0:00:40 is shortened by 1 ms where it meets a skip"}},
        {{"--cover=drop"},
         "Blenk,10,20\nDunvel,20,20.001\nDunvel,20.001,20.002\nDunvelBlenk,20.002,30\n",
         0,
         "20.000 30.000 1\n",
         {"cover range 0:00:10-0:00:20 is left out", "combined range 0:00:20.002-0:00:30"}},
        {{},
         "Blenk,10,20\nDunvel,20,20.001\nBlenk,20.001,30\n",
         0,
         "10.000 20.000 0\n20.001 30.000 0\n",
         {"cover range 0:00:10-0:00:20 becomes", "cover range 0:00:20.001-0:00:30 becomes",
          "mute range 0:00:20-0:00:20.001 is left out: it has no room between skips, and players reject touching "
          "ranges"}},
        // Rounding to milliseconds never lets a moment through, nor turns 2.007 s into 2.008 s.
        {{},
         "Dunvel,0.0004,0.0006\nDunvel,1.005,2.007\nDunvel,5,1e300\nDunvel,1e300,1e301\n",
         0,
         "0.000 0.001 1\n1.005 2.007 1\n5.000 2147483647.000 1\n",
         {"a range that starts after 596523:14:07 is left out"}},
        {{}, "Dunvel,5,5\nDunvel,6,7\n", 0, "6.000 7.000 1\n", {"empty range 0:00:05-0:00:05 is left out"}},
        {{"--cover=drop"}, "Blenk,1,2\n", 1, "dvbk: <stdin>: no ranges to export\n", {}},
    };
    for (const char* dialect : {"kodi", "mplayer"}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(dialect) + testing::PrintToString(c.options) + c.input);
            std::vector<std::string> args = {"export", "--to", dialect};
            args.insert(args.end(), c.options.begin(), c.options.end());
            args.push_back("-");
            Outcome result = run(args, c.input);
            EXPECT_EQ(c.code, result.code);
            EXPECT_EQ(c.code == 0 ? c.out : "", result.out);
            if (c.code == 0)
                expect_warnings(c.warnings, result.err);
            else
                EXPECT_TRUE(result.err.ends_with(c.out)) << result.err;
        }
    }
}

// A script made here goes out as a skip file or an MCF file, each label in that file's words, and
// reads back through the same reader to the same ranges.
TEST(DvbkExport, SharedFilterFilesReadBack) {
    const std::string script =
        "# film\n"
        "Dunvel, 0:20:00, 0:20:05.5, Profanity 2\n"
        "Blenk, 0:14:08.27, 0:14:14, nude 1 (male, from behind)\n"
        "DunvelBlenk, 0:31:12.4, 0:31:40, violence medium, fear high\n"
        "Blenk, 0:40:00, 0:41:00\n"
        "Dunvel, 0:40:30, 0:41:30, he swears, twice\n"
        "End, 1:30:00\n";
    struct Trip {
        const char* format;
        std::string file;
        std::string back;
        std::vector<std::string> warnings;
    };
    const Trip trips[] = {
        {"skp",
         "0:14:08.27\nNo screenshot was taken: made by DunvelBlenk from a filter script\n\n"
         "0:14:08.27 --> 0:14:14\nnude image 1 (male, from behind)\n\n0:20:00 --> 0:20:05.5\nProfanity word 2\n\n"
         "0:31:12.4 --> 0:31:40\nviolence 2\n\n0:31:12.4 --> 0:31:40\nfrightening 3\n\n"
         "0:40:00 --> 0:41:00\nother image 3\n\n0:40:30 --> 0:41:30\nother word 3 (he swears, twice)\n",
         "Blenk, 0:14:08.27, 0:14:14, nude 1 (male, from behind)\nDunvel, 0:20:00, 0:20:05.5, Profanity 2\n"
         "DunvelBlenk, 0:31:12.4, 0:31:40, frightening 3\nBlenk, 0:40:00, 0:41:00, other 3\n"
         "Dunvel, 0:40:30, 0:41:30, other 3 (he swears, twice)\n",
         {"the film's end (1:30:00) is left out: a skip file has no place for it"}},
        {"mcf",
         "WEBVTT MovieContentFilter 1.0.0\n\nNOTE\nSTART 00:00:00.000\nEND 01:30:00.000\n\n"
         "00:14:08.270 --> 00:14:14.000\nnudity=low=video  male, from behind\n\n"
         "00:20:00.000 --> 00:20:05.500\nlanguage=medium=audio\n\n"
         "00:31:12.400 --> 00:31:40.000\nviolence=medium=both\nfear=high=both\n\n"
         "00:40:00.000 --> 00:41:00.000\ndispensable=high=video\n\n"
         "00:40:30.000 --> 00:41:30.000\ndispensable=high=audio  he swears, twice\n",
         "Blenk, 0:14:08.27, 0:14:14, nudity low (male, from behind)\nDunvel, 0:20:00, 0:20:05.5, language medium\n"
         "DunvelBlenk, 0:31:12.4, 0:31:40, violence medium, fear high\nBlenk, 0:40:00, 0:41:00, dispensable high\n"
         "Dunvel, 0:40:30, 0:41:30, dispensable high (he swears, twice)\nEnd, 1:30:00\n",
         {}},
    };
    for (const Trip& trip : trips) {
        // A script saved on Windows gives the same files: no CR reaches a note.
        for (const std::string& text : {script, windows_text(script)}) {
            SCOPED_TRACE(std::string(trip.format) + text);
            Outcome file = run({"export", "--to", trip.format, "-"}, text);
            EXPECT_EQ(0, file.code);
            EXPECT_EQ(trip.file, file.out);
            expect_warnings(trip.warnings, file.err);
            Outcome back = run({"import", "--from", trip.format, "-"}, file.out);
            EXPECT_EQ(0, back.code);
            EXPECT_EQ(trip.back, body(back.out));
            EXPECT_EQ("", back.err);
        }
    }
}

TEST(DvbkExport, SharedFilterFilesWithoutEndOrRanges) {
    struct Case {
        const char* format;
        std::string script;
        int code;
        std::string out;  // the file, or the end of the message
    };
    const std::string script = "Blenk,1,2,sex 1\nDunvel,3,4.5,dispensable medium (x)\nDunvel,5,5\n";
    const Case cases[] = {
        {"mcf", script, 0,
         "WEBVTT MovieContentFilter 1.0.0\n\nNOTE\nSTART 00:00:00.000\nEND 00:00:04.500\n\n"
         "00:00:01.000 --> 00:00:02.000\nsex=low=video\n\n00:00:03.000 --> 00:00:04.500\ndispensable=medium=audio  "
         "x\n"},
        {"skp", script, 0,
         "0:00:01\nNo screenshot was taken: made by DunvelBlenk from a filter script\n\n"
         "0:00:01 --> 0:00:02\nsex image 1\n\n0:00:03 --> 0:00:04.5\nother word 2 (x)\n"},
        {"mcf", "Dunvel,5,5\n", 1, "dvbk: <stdin>: no ranges to export\n"},
        {"skp", "Dunvel,5,5\n", 1, "dvbk: <stdin>: no ranges to export\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.format) + c.script);
        Outcome result = run({"export", "--to", c.format, "-"}, c.script);
        EXPECT_EQ(c.code, result.code);
        EXPECT_EQ(c.code == 0 ? c.out : "", result.out);
        if (c.code == 0)
            expect_warnings({"empty range 0:00:05-0:00:05 is left out"}, result.err);
        else
            EXPECT_TRUE(result.err.ends_with(c.out)) << result.err;
    }
}

TEST(DvbkExport, RoundTripsThroughEachDialect) {
    struct Trip {
        std::string cover;
        std::string script;
        std::string back;
    };
    const Trip trips[] = {
        {"skip", "Dunvel,1,2\nDunvelBlenk,3,4.25\n", "Dunvel, 0:00:01, 0:00:02\nDunvelBlenk, 0:00:03, 0:00:04.25\n"},
        {"skip", "Dunvel,10,14.5\nBlenk,20,25\nDunvelBlenk,30,33\nEnd,1:00\n",
         "Dunvel, 0:00:10, 0:00:14.5\nDunvelBlenk, 0:00:20, 0:00:25\nDunvelBlenk, 0:00:30, 0:00:33\n"},
        {"drop", "Dunvel,10,14.5\nBlenk,20,25\nDunvelBlenk,30,33\n",
         "Dunvel, 0:00:10, 0:00:14.5\nDunvel, 0:00:30, 0:00:33\n"},
        {"skip", "Dunvel,0,1:40\nBlenk,10,20\nDunvelBlenk,1:40,1:50\nDunvel,1:50,2:00\n",
         "Dunvel, 0:00:00, 0:00:09.999\nDunvelBlenk, 0:00:10, 0:00:20\nDunvel, 0:00:20.001, 0:01:39.999\n"
         "DunvelBlenk, 0:01:40, 0:01:50\nDunvel, 0:01:50.001, 0:02:00\n"},
    };
    for (const char* dialect : {"kodi", "mplayer"}) {
        for (const Trip& trip : trips) {
            SCOPED_TRACE(std::string(dialect) + " " + trip.cover + ": " + trip.script);
            Outcome edl = run({"export", "--to", dialect, "--cover", trip.cover, "-"}, trip.script);
            ASSERT_EQ(0, edl.code) << edl.err;
            Outcome back = run({"import", "--from", dialect, "-"}, edl.out);
            ASSERT_EQ(0, back.code) << back.err;
            EXPECT_EQ(trip.back, body(back.out));
            EXPECT_EQ("", back.err);
        }
    }
}

}  // namespace
}  // namespace dvbk
