// Where the settings live: "settings.xml" in the all-users application-data folder, or in the
// current directory when that folder cannot be had.
#pragma once

#include <windows.h>

#include <string>

#include "settings/settings_file.h"

namespace dvbk {

// The folder path ending in a backslash, created when missing; empty when it can't be found or made.
std::string settings_folder();

// The scripts folder the settings name, or the user's Documents\DunvelBlenk when they name none;
// without a trailing backslash. Nothing is created here.
std::string scripts_folder(const AppSettings& settings);

// The same folder, created when it is missing (its parent must be there); empty when it cannot be.
std::string made_scripts_folder(const AppSettings& settings);

// The settings through write_file_atomically (base/file_write_win.h). Reports nothing.
void save_settings(const AppSettings& settings);

// Applies the file's readable lines; a missing or unreadable file changes nothing.
void load_settings(AppSettings& settings);

}  // namespace dvbk
