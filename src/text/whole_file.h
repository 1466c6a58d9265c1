// A file's bytes read whole or not at all. Everything that reads a script goes through here: a text
// cut short (a file missing for a moment while an editor or a sync tool replaces it, a read that
// broke off, a file rewritten while it was read) must never be taken for the file, least of all by
// code that writes the file back.
#pragma once

#include <cstdint>
#include <istream>
#include <string>
#include <string_view>

namespace dvbk {

// The most a file read here may hold: far above any film's script, well below what would strain
// memory.
inline constexpr std::uint64_t MAX_FILE_BYTES = 256ull * 1024 * 1024;

// The mark some editors (Notepad's "UTF-8 with BOM") put before a text's first line.
inline constexpr std::string_view UTF8_BOM = "\xEF\xBB\xBF";

// The whole text of the file at `path`, its bytes as they are. False, with `text` empty and `error`
// completing a sentence that starts with the file's name ("cannot be opened", "is larger than
// 256 MiB", "could not be read to its end", "changed while it was read"), when the whole file
// cannot be had.
bool read_whole_file(const std::string& path, std::string& text, std::string& error);

// What a reader of scripts tells of a file it could not have whole: "Error opening file 'NAME'"
// when it cannot be opened, else "Error reading file 'NAME': " and `error`.
std::string file_error_message(const std::string& name, const std::string& error);

// The same from an open stream, read to its end (standard input): false when the stream broke off
// or holds more than MAX_FILE_BYTES.
bool read_whole_stream(std::istream& in, std::string& text, std::string& error);

// Reads up to `size` bytes into `buffer` as std::istream::read does and returns how many came;
// replaceable so tests can make a read break off or the file change under it.
using FileReader = std::streamsize (*)(std::istream& in, char* buffer, std::streamsize size);
// Puts `reader` in place of the stream's own read for every read here; nullptr restores it.
void set_file_reader(FileReader reader);

}  // namespace dvbk
