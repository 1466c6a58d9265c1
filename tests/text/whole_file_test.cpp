#include "text/whole_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

namespace dvbk {
namespace {

std::string file_path;

// What a disk, a network share or another program can do to a read under way.
std::streamsize breaks_off(std::istream& in, char*, std::streamsize) {
    in.setstate(std::ios::badbit);
    return 0;
}
std::streamsize stops_short(std::istream& in, char* buffer, std::streamsize) {
    return in.read(buffer, 4).gcount();
}
std::streamsize rewritten_first(std::istream& in, char* buffer, std::streamsize size) {
    std::ofstream(file_path, std::ios::binary) << "Dunvel,1,2\n";
    return in.read(buffer, size).gcount();
}

TEST(ReadWholeFile, TheBytesAsTheyAreOrWhyNot) {
    const std::string script("\xEF\xBB\xBF# a\r\nDunvel,1,2\n\0End,5\r\nBlenk,3,4", 35);
    struct Case {
        const char* what;
        std::optional<std::string> bytes;  // nothing: no file
        std::uintmax_t zeros;              // then as many zero bytes, a sparse file for the large ones
        FileReader reader;
        const char* error;  // nullptr: read whole
    };
    const Case cases[] = {
        {"missing", std::nullopt, 0, nullptr, "cannot be opened"},
        {"empty", "", 0, nullptr, nullptr},
        {"byte-order mark, NUL, mixed line ends", script, 0, nullptr, nullptr},
        {"two reads' worth exactly", "", 2 * 64 * 1024, nullptr, nullptr},
        {"too large", "", MAX_FILE_BYTES + 1, nullptr, "is larger than 256 MiB"},
        {"read broke off", script, 0, breaks_off, "could not be read to its end"},
        {"read stopped short", script, 0, stops_short, "could not be read to its end"},
        {"rewritten while read", script, 0, rewritten_first, "changed while it was read"},
    };
    file_path = testing::TempDir() + "whole-file.dvbk";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(file_path);
        if (c.bytes) {
            std::ofstream(file_path, std::ios::binary) << *c.bytes;
            std::filesystem::resize_file(file_path, c.bytes->size() + c.zeros);
        }
        set_file_reader(c.reader);
        std::string text = "left from before", error;
        bool read = read_whole_file(file_path, text, error);
        set_file_reader(nullptr);
        EXPECT_EQ(!c.error, read);
        EXPECT_EQ(c.error ? "" : *c.bytes + std::string(c.zeros, '\0'), text);
        EXPECT_EQ(c.error ? c.error : "", c.error ? error : "");
    }
    std::filesystem::remove(file_path);
}

}  // namespace
}  // namespace dvbk
