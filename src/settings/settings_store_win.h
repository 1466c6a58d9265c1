// Where the settings live: "settings.xml" in the all-users application-data folder, or in the
// current directory when that folder cannot be had.
#pragma once

#include <windows.h>

#include <string>

#include "settings/settings_file.h"

namespace dvbk {

// The folder path ending in a backslash, created when missing; empty when it can't be found or made.
std::string settings_folder();

// Writes `bytes` to `path` whole or not at all: a new file beside the old one, flushed, then an
// atomic replace. False on failure, when the previous file stays as it was.
bool write_file_atomically(const std::string& path, const std::string& bytes);

// The settings through write_file_atomically. Reports nothing.
void save_settings(const AppSettings& settings);

// Applies the file's readable lines; a missing or unreadable file changes nothing.
void load_settings(AppSettings& settings);

// Writes bytes to a file as WriteFile does; replaceable so tests can make a save fail half-way.
using FileWriter = BOOL(WINAPI*)(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED overlapped);
void set_settings_writer(FileWriter writer);  // nullptr restores WriteFile

}  // namespace dvbk
