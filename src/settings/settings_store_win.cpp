#include "settings/settings_store_win.h"

#include <shlobj.h>

#include <fstream>
#include <iterator>

#include "base/file_write_win.h"

namespace dvbk {
namespace {

std::string settings_file_name() {
    return settings_folder() + "settings.xml";
}

}  // namespace

// Whether `folder` is there as a folder, or could be made; a file of that name stands in the way.
bool folder_there_or_made(const std::string& folder) {
    DWORD attributes = GetFileAttributesA(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return true;
    return CreateDirectoryA(folder.c_str(), nullptr);
}

std::string settings_folder() {
    char base[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, base)))
        return "";
    std::string folder = std::string(base) + "\\DunvelBlenk\\";
    return folder_there_or_made(folder) ? folder : "";
}

std::string scripts_folder(const AppSettings& settings) {
    if (!settings.scripts_folder.empty())
        return settings.scripts_folder;
    char documents[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, documents)))
        return "";
    return std::string(documents) + "\\DunvelBlenk";
}

std::string made_scripts_folder(const AppSettings& settings) {
    std::string folder = scripts_folder(settings);
    return !folder.empty() && folder_there_or_made(folder) ? folder : "";
}

void save_settings(const AppSettings& settings) {
    write_file_atomically(settings_file_name(), settings_text(settings, "\r\n"));
}

void load_settings(AppSettings& settings) {
    std::ifstream in(settings_file_name());
    if (!in)
        return;
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    read_settings_text(text, settings);
}

}  // namespace dvbk
