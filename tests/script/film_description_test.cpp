#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "script/film_description.h"

namespace dvbk {
namespace {

const std::string bom = "\xEF\xBB\xBF";

TEST(FilmDescription, ReadsItsLinesAndWarnsOfBadOnes) {
    struct Case {
        std::string text;
        std::string film;
        double duration;
        std::vector<std::string> rules;  // match lines, then copy lines, as written back
        std::vector<std::string> warnings;
    };
    const Case cases[] = {
        {bom + "# notes\r\n#Film:  Heat \t (1995) \r\n  # DURATION : 2:50:10\r\n# match: file=Heat.1995.mkv\r\n"
               "# match: HASH=8E245D9679D31E12\r\n# match: page=*netflix.com/watch/60027358*\r\n"
               "# match: title=  Heat \t Movie\r\n# copy: hash=8e245d9679d31e12 rate=0.96 offset=-1:30\r\nDunvel,1,2",
         "Heat (1995)",
         10210,
         {"file=Heat.1995.mkv", "hash=8e245d9679d31e12", "page=*netflix.com/watch/60027358*", "title=Heat Movie",
          "hash=8e245d9679d31e12 offset=-90 rate=0.96"},
         {}},
        {"# film:\n# duration: soon\n# match: url=x\n# match: hash=123\n# match: file=C:\\Films\\a.mkv\n"
         "# copy: file=a.mkv offset=1\n# copy: page=x rate=3\n## match: hash=zz\n# note: anything\nDunvel,1,2\n"
         "# film: A\n# film: B\n# duration: 0\n# match: title=a\x01z\n# match: page=a b\n# copy: page=x\n"
         "# copy: page=x offset=+2\n# match: page=x\n# match: page=x\n",
         "A",
         0,
         {"page=x", "page=x offset=+0 rate=1"},
         {"line 1: no film named", "line 2: a duration is", "line 3: a match is file=", "line 4: hash= takes",
          "line 5: file= takes a file name without", "line 6: a copy is known by", "line 7: a copy's map",
          "line 12: a second film line", "line 13: a duration is", "line 14: title= needs a value without",
          "line 15: page= takes an address without", "line 17: a second copy line"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::vector<std::string> warnings;
        FilmDescription read = read_film_description(c.text, warnings);
        EXPECT_EQ(c.film, read.film);
        EXPECT_EQ(c.duration, read.duration);
        std::vector<std::string> rules;
        for (const MatchRule& rule : read.matches)
            rules.push_back(match_rule_text(rule));
        for (const CopyLine& copy : read.copies)
            rules.push_back(copy_text(copy));
        EXPECT_EQ(c.rules, rules);
        ASSERT_EQ(c.warnings.size(), warnings.size()) << testing::PrintToString(warnings);
        for (size_t i = 0; i < warnings.size(); ++i)
            EXPECT_TRUE(warnings[i].starts_with(c.warnings[i])) << warnings[i];
    }
}

TEST(FilmDescription, DescribingAddsLinesOnceAndKeepsTheRest) {
    const MatchRule hash{MatchKind::Hash, "0123456789abcdef"}, file{MatchKind::File, "a.mkv"};
    const CopyLine copy{hash, {0.96, 2.0}};
    struct Case {
        std::string text;
        FilmDescription added;
        std::string expected;  // empty: refused
    };
    const Case cases[] = {
        {"", {"Heat  (1995)", 0, {}, {}}, "# film: Heat (1995)\r\n"},
        {"# only a comment", {"", 0, {{MatchKind::Title, "Heat"}}, {}}, "# only a comment\r\n# match: title=Heat\r\n"},
        {"Dunvel,1,2\nEnd,3\n", {"", 61.5, {}, {}}, "# duration: 0:01:01.5\nDunvel,1,2\nEnd,3\n"},
        // After the opening comments; a line already there is not written twice.
        {"# a\n# b\n\n# c\nDunvel,1,2\n",
         {"", 0, {hash, file, hash}, {}},
         "# a\n# b\n# match: hash=0123456789abcdef\n# match: file=a.mkv\n\n# c\nDunvel,1,2\n"},
        // Film, duration and a copy for the same source take the old lines' places and line ends.
        {bom + "# film: Old\r\nDunvel,1,2\n# duration: 1:00\r\n# match: file=a.mkv\n# copy: hash=0123456789abcdef\n",
         {"Heat (1995)", 6723, {file}, {copy}},
         bom + "# film: Heat (1995)\r\nDunvel,1,2\n# duration: 1:52:03\r\n# match: file=a.mkv\n"
               "# copy: hash=0123456789abcdef offset=+2 rate=0.96\n"},
        {"#FILM: Heat (1995)\n# Duration: 1:52:03\nDunvel,1,2\n",
         {"Heat (1995)", 6723, {}, {}},
         "#FILM: Heat (1995)\n# Duration: 1:52:03\nDunvel,1,2\n"},
        // What would not read back as given is not written.
        {"Dunvel,1,2\n", {"Heat\x01", 0, {}, {}}, ""},
        {"Dunvel,1,2\n", {"", -5, {}, {}}, ""},
        {"Dunvel,1,2\n", {"", 0, {{MatchKind::Hash, "xyz"}}, {}}, ""},
        {"Dunvel,1,2\n", {"", 0, {{MatchKind::Page, "a\nDunvel,0,9"}}, {}}, ""},
        {"Dunvel,1,2\n", {"", 0, {}, {{file, {}}}}, ""},
        {"Dunvel,1,2\n", {"", 0, {}, {{hash, {3.0, 0.0}}}}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        ScriptEdit edit = describe_script(c.text, c.added);
        EXPECT_EQ(!c.expected.empty(), edit.ok) << edit.reason;
        EXPECT_EQ(c.expected, edit.text);
    }
}

}  // namespace
}  // namespace dvbk
