// The settings file in Wine's real all-users application-data folder (C:\ProgramData).
#include "settings/settings_store_win.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/file_write_win.h"
#include "settings/mute_marker_win.h"

namespace dvbk {
namespace {

std::string program_data() {
    char path[MAX_PATH] = {};
    EXPECT_HRESULT_SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path));
    return path;
}

std::string read_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<std::string> files_in(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

void remove_folder(const std::string& folder) {
    for (const std::string& name : files_in(folder))
        DeleteFileA((folder + name).c_str());
    RemoveDirectoryA(folder.c_str());
}

// Writes half of what it is given, then reports failure: a disk that fills up mid-save.
BOOL WINAPI write_half_then_fail(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED) {
    WriteFile(file, data, size / 2, written, nullptr);
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
}

class SettingsStoreTest : public testing::Test {
protected:
    void SetUp() override {
        folder = program_data() + "\\DunvelBlenk\\";
        remove_folder(folder);
        DeleteFileA((program_data() + "\\DunvelBlenk").c_str());
    }
    void TearDown() override {
        set_file_writer(nullptr);
        remove_folder(folder);
        DeleteFileA((program_data() + "\\DunvelBlenk").c_str());
    }

    std::string folder;
    const AppSettings changed{true, 1, 0.1234567, 0.867, -3.5};
};

TEST_F(SettingsStoreTest, FolderIsMadeInProgramData) {
    ASSERT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(folder.c_str()));
    EXPECT_EQ(folder, settings_folder());
    EXPECT_TRUE(GetFileAttributesA(folder.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(folder, settings_folder());  // and found again once it exists
}

TEST_F(SettingsStoreTest, SaveWritesTheLinesAndLoadReadsThemBack) {
    AppSettings loaded;
    load_settings(loaded);  // no file yet: nothing changes
    EXPECT_EQ(AppSettings{}.click_x, loaded.click_x);

    save_settings(changed);
    EXPECT_EQ(settings_text(changed, "\r\n"), read_bytes(folder + "settings.xml"));
    EXPECT_EQ(std::vector<std::string>{"settings.xml"}, files_in(folder));  // no temporary file left

    load_settings(loaded);
    EXPECT_TRUE(loaded.click_maximize);
    EXPECT_EQ(1, loaded.click_choice);
    EXPECT_EQ(0.123457, loaded.click_x);
    EXPECT_EQ(0.867, loaded.click_y);
    EXPECT_EQ(-3.5, loaded.time_adj);

    save_settings(AppSettings{});  // replaces an existing file
    EXPECT_EQ(settings_text(AppSettings{}, "\r\n"), read_bytes(folder + "settings.xml"));
}

TEST_F(SettingsStoreTest, FailedSaveKeepsThePreviousFile) {
    save_settings(changed);
    std::string before = read_bytes(folder + "settings.xml");
    set_file_writer(write_half_then_fail);
    save_settings(AppSettings{});
    EXPECT_EQ(before, read_bytes(folder + "settings.xml"));
    EXPECT_EQ(std::vector<std::string>{"settings.xml"}, files_in(folder));
}

TEST_F(SettingsStoreTest, FileInTheWayFallsBackToTheCurrentDirectory) {
    std::ofstream(program_data() + "\\DunvelBlenk") << "not a folder";
    char previous[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, previous);
    std::string here = testing::TempDir() + "dvbk-settings-cwd\\";
    remove_folder(here);
    ASSERT_TRUE(CreateDirectoryA(here.c_str(), nullptr));
    ASSERT_TRUE(SetCurrentDirectoryA(here.c_str()));

    EXPECT_EQ("", settings_folder());
    save_settings(changed);
    EXPECT_EQ(settings_text(changed, "\r\n"), read_bytes(here + "settings.xml"));
    AppSettings loaded;
    load_settings(loaded);
    EXPECT_EQ(1, loaded.click_choice);

    SetCurrentDirectoryA(previous);
    remove_folder(here);
}

// The marker goes through the same atomic write, and a run removes only its own.
TEST_F(SettingsStoreTest, MuteMarkerBesideTheSettings) {
    save_mute_marker({false, "{0.0.0.00000000}.{headphones}"});
    std::optional<MuteMarker> marker = load_mute_marker();
    ASSERT_TRUE(marker);
    EXPECT_EQ(this_process(), marker->process);
    EXPECT_EQ(mute_marker_text(*marker, "\r\n"), read_bytes(folder + "mute_marker.xml"));
    remove_mute_marker({this_process().id, this_process().created + 1});  // another run's: stays
    EXPECT_EQ(std::vector<std::string>{"mute_marker.xml"}, files_in(folder));
    clear_mute_marker();
    EXPECT_TRUE(files_in(folder).empty());
}

// A process is told apart from a later one with the same id by its creation time.
TEST(ProcessRunning, OnlyTheSameProcessStillGoing) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    char command[] = "cmd.exe /c exit 3";
    ASSERT_TRUE(CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                               &child));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(child.hProcess, 30000));
    FILETIME created, exited, kernel, user;
    ASSERT_TRUE(GetProcessTimes(child.hProcess, &created, &exited, &kernel, &user));
    const ProcessIdentity ended{child.dwProcessId,
                                (static_cast<std::uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime};
    const ProcessIdentity self = this_process();
    struct Case {
        const char* what;
        ProcessIdentity process;
        bool running;
    };
    const Case cases[] = {
        {"this one", self, true},
        {"its id, started later", {self.id, self.created + 1}, false},
        {"ended, its handle still open", ended, false},
        {"no such id", {0xFFFFFFF1u, 1}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.running, process_running(c.process));
    }
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
}

}  // namespace
}  // namespace dvbk
