// Writing a file whole or not at all, for the settings, the mute marker and the scripts the program
// writes.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace dvbk {

// Writes `bytes` to `path` whole or not at all: a new file beside the old one, flushed, then an
// atomic replace. False on failure, when the previous file stays as it was. `may_replace`, when
// given, is asked last, with the new file complete beside the old one: false leaves the old file as
// it is (and the call returns false), for a caller that must not write over what someone else saved
// meanwhile.
bool write_file_atomically(const std::string& path, const std::string& bytes,
                           const std::function<bool()>& may_replace = nullptr);

// Writes bytes to a file as WriteFile does; replaceable so tests can make a write fail half-way.
using FileWriter = BOOL(WINAPI*)(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED overlapped);
// Puts `writer` in place of WriteFile for every write_file_atomically; nullptr restores WriteFile.
void set_file_writer(FileWriter writer);

}  // namespace dvbk
