#include "settings/settings_store_win.h"

#include <shlobj.h>

#include <fstream>
#include <iterator>

#include "base/scoped_win.h"

namespace dvbk {
namespace {

FileWriter file_writer = WriteFile;

std::string settings_file_name() {
    return settings_folder() + "settings.xml";
}

// The folder part of `path` including its last backslash, "" for a bare file name.
std::string folder_of(const std::string& path) {
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool write_whole_file(HANDLE file, const std::string& bytes) {
    DWORD written = 0;
    return file_writer(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size() && FlushFileBuffers(file);
}

}  // namespace

void set_settings_writer(FileWriter writer) {
    file_writer = writer ? writer : WriteFile;
}

std::string settings_folder() {
    char base[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, base)))
        return "";
    std::string folder = std::string(base) + "\\DunvelBlenk\\";
    DWORD attributes = GetFileAttributesA(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return folder;
    // Fails too when a file of that name stands in the way.
    return CreateDirectoryA(folder.c_str(), nullptr) ? folder : "";
}

bool write_file_atomically(const std::string& path, const std::string& bytes) {
    std::string folder = folder_of(path);
    // A crash or power loss while writing must not leave half a file: the new bytes go to a file of
    // their own in the same folder and only a complete file replaces the old one.
    char temp_path[MAX_PATH] = {};
    if (!GetTempFileNameA(folder.empty() ? "." : folder.c_str(), "dvb", 0, temp_path))
        return false;
    ScopedHandle temp(CreateFileA(temp_path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    bool written = temp.valid() && write_whole_file(temp.get(), bytes);
    if (!temp.close() || !written ||
        !MoveFileExA(temp_path, path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileA(temp_path);
        return false;
    }
    return true;
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
