#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "script/film_match.h"

namespace dvbk {
namespace {

TEST(FilmMatch, PagePatternsTakeTheHostInAnyCaseAndTheRestAsWritten) {
    struct Case {
        const char* pattern;
        const char* address;
        bool matches;
    };
    const Case cases[] = {
        {"*netflix.com/watch/80100172*", "https://www.netflix.com/watch/80100172?trackId=1", true},
        {"*netflix.com/watch/80100172*", "HTTPS://WWW.NETFLIX.COM/watch/80100172", true},
        {"*netflix.com/watch/80100172*", "https://www.netflix.com/WATCH/80100172", false},
        {"*netflix.com/watch/80100172*", "https://www.netflix.com/watch/8010017", false},
        {"https://youtu.be/abc", "https://youtu.be/abc", true},
        {"https://youtu.be/abc", "https://youtu.be/abcd", false},
        {"https://youtu.be/ABC", "https://youtu.be/abc", false},
        {"NETFLIX.com/a", "netflix.com/a", true},
        {"*x.com/?u=HTTPS://Y*", "x.com/?u=https://y", false},
        {"*a*b*c", "xaxxbxxc", true},
        {"*a*b*c", "xaxxbxxcx", false},
        {"a**", "a", true},
        {"a*", "", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.matches, page_matches(c.pattern, c.address)) << c.pattern << " " << c.address;
}

TEST(FilmMatch, DurationsAgreeWithinTwoPercentOrFiveSeconds) {
    const double cases[][3] = {
        {100, 105, 1}, {100, 94.99, 0}, {3600, 3672, 1}, {3600, 3528, 1}, {3600, 3672.5, 0}, {0, 50, 1}, {100, 0, 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c[2] != 0, durations_agree(c[0], c[1])) << c[0] << " " << c[1];
}

TEST(FilmMatch, IdentityBeforeTitleBeforeFilmNameAndDurationRulesOut) {
    std::vector<DescribedScript> scripts;
    for (auto [path, text] : std::vector<std::pair<std::string, std::string>>{
             {"a", "# film: Heat (1995)\n# duration: 2:50:00\n# match: file=Heat.mkv\n# match: hash=8e245d9679d31e12"},
             {"b", "# film: Heat (1995)\n# match: title=Heat"},
             {"c", "# film: Heat (1995)"},
             {"d", "# match: page=*netflix.com/watch/6002*\n# duration: 2:50:00\n# copy: page=*watch/6002* rate=0.96"},
             {"e", "# match: file=heat.MKV"},
             {"f", "# copy: hash=8e245d9679d31e12 offset=+2.3"},
         }) {
        std::vector<std::string> warnings;
        scripts.push_back({path, read_film_description(text, warnings)});
    }
    struct Case {
        VideoSource source;
        std::string expected;  // "PATH:REASON" best first
        MatchOutcome outcome;
    };
    const std::string netflix = "https://WWW.NETFLIX.COM/watch/6002?trackId=1";
    const Case cases[] = {
        {{"Heat.mkv", "8E245D9679D31E12", "", "heat", 10200},
         "a:its hash f:its hash e:its file name b:its title c:its title ",
         MatchOutcome::Several},
        {{"HEAT.MKV", "", "", "", 6000}, "e:its file name ", MatchOutcome::One},
        {{"", "", netflix, "Heat  (1995)", 9792}, "d:its page c:its title ", MatchOutcome::One},
        {{"", "", netflix, "", 10200}, "", MatchOutcome::None},
        {{"", "", "https://www.netflix.com/WATCH/6002", " HEAT ", 0}, "b:its title c:its title ", MatchOutcome::One},
        {{"Heat.avi", "0000000000000000", "", "", 0}, "", MatchOutcome::None},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        ScriptMatches matches = match_scripts(c.source, scripts);
        std::string found;
        for (const ScriptMatch& match : matches.best_first)
            found += match.path + ":" + match_reason_text(match.reason) + " ";
        EXPECT_EQ(c.expected, found);
        EXPECT_EQ(c.outcome, matches.outcome());
    }
    ScriptMatches page = match_scripts({"", "", netflix, "", 0}, scripts);
    ASSERT_TRUE(page.best_first.at(0).copy_map);
    EXPECT_EQ(0.96, page.best_first[0].copy_map->rate);
}

}  // namespace
}  // namespace dvbk
