// Runs dvbk's real command code on strings instead of files and a terminal.
#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/commands.h"

namespace dvbk {

struct Outcome {
    int code;
    std::string out;
    std::string err;
};

inline Outcome run(const std::vector<std::string>& args, const std::string& input = "",
                   const std::string& program_folder = "") {
    std::istringstream in(input);
    std::ostringstream out;
    std::ostringstream err;
    int code = run_dvbk(args, in, out, err, program_folder);
    return {code, out.str(), err.str()};
}

// The imported script without its first line, the comment that names the source.
inline std::string body(const std::string& script) {
    size_t line_end = script.find('\n');
    EXPECT_TRUE(script.starts_with("# Imported by dvbk from the ")) << script;
    return line_end == std::string::npos ? script : script.substr(line_end + 1);
}

// Every expected warning appears, each line of `err` is a warning (or the count of what the user's
// choice left out), and there are no others.
inline void expect_warnings(const std::vector<std::string>& expected, const std::string& err) {
    std::istringstream lines(err);
    size_t count = 0;
    for (std::string line; std::getline(lines, line); ++count)
        EXPECT_TRUE(line.starts_with("dvbk: warning: ") || line.starts_with("dvbk: left out: ")) << line;
    EXPECT_EQ(expected.size(), count) << err;
    for (const std::string& warning : expected)
        EXPECT_NE(std::string::npos, err.find(warning)) << warning << "\nin:\n" << err;
}

}  // namespace dvbk
