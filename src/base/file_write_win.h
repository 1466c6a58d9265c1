// Writing a file whole or not at all, for the settings, the mute marker and the scripts the program
// writes.
#pragma once

#include <windows.h>

#include <string>

namespace dvbk {

// Writes `bytes` to `path` whole or not at all: a new file beside the old one, flushed, then an
// atomic replace. False on failure, when the previous file stays as it was.
bool write_file_atomically(const std::string& path, const std::string& bytes);

// Writes bytes to a file as WriteFile does; replaceable so tests can make a write fail half-way.
using FileWriter = BOOL(WINAPI*)(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED overlapped);
// Puts `writer` in place of WriteFile for every write_file_atomically; nullptr restores WriteFile.
void set_file_writer(FileWriter writer);

}  // namespace dvbk
