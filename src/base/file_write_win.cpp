#include "base/file_write_win.h"

#include "base/scoped_win.h"

namespace dvbk {
namespace {

FileWriter file_writer = WriteFile;

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

void set_file_writer(FileWriter writer) {
    file_writer = writer ? writer : WriteFile;
}

bool write_file_atomically(const std::string& path, const std::string& bytes,
                           const std::function<bool()>& may_replace) {
    std::string folder = folder_of(path);
    // A crash or power loss while writing must not leave half a file: the new bytes go to a file of
    // their own in the same folder and only a complete file replaces the old one.
    char temp_path[MAX_PATH] = {};
    if (!GetTempFileNameA(folder.empty() ? "." : folder.c_str(), "dvb", 0, temp_path))
        return false;
    ScopedHandle temp(CreateFileA(temp_path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    bool written = temp.valid() && write_whole_file(temp.get(), bytes);
    // Asked after the flush, the slowest step: the old file is replaced a moment after it was seen
    // as the caller expects.
    if (!temp.close() || !written || (may_replace && !may_replace()) ||
        !MoveFileExA(temp_path, path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileA(temp_path);
        return false;
    }
    return true;
}

}  // namespace dvbk
