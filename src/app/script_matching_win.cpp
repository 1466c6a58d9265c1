#include "app/script_matching_win.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <utility>

#include "app/app_state_win.h"
#include "app/dialogs_win.h"
#include "app/follow_win.h"
#include "app/main_window_win.h"
#include "app/script_file_win.h"
#include "base/file_write_win.h"
#include "base/window_ids_win.h"
#include "resources/resource_ids.h"
#include "script/filter_script.h"
#include "script/video_hash.h"
#include "settings/settings_store_win.h"
#include "text/whole_file.h"
#include "wire/media_location.h"

namespace dvbk {
namespace {

// A folder of scripts, not of everything: the index reads this many at most, each this large at
// most (a script of a feature film is a few KiB).
constexpr size_t MAX_INDEXED_SCRIPTS = 2000;
constexpr DWORD MAX_INDEXED_BYTES = 4 * 1024 * 1024;
// An editor or a copy may write several files in turn: the index waits for the folder to be quiet.
constexpr UINT INDEX_QUIET_MS = 500;

IndexedScript indexed_script(const std::string& path) {
    IndexedScript indexed{{path, {}}, ""};
    std::string text;
    std::string error;
    if (!read_whole_file(path, text, error)) {
        indexed.load_error = file_error_message(path, error);
        return indexed;
    }
    std::vector<std::string> warnings;
    indexed.script.description = read_film_description(text, warnings);
    FilterScript loaded;
    if (!load_filter_script_text(text, path, loaded))
        indexed.load_error = loaded.load_error;
    return indexed;
}

// What the program knows of what plays, with the file's hash when the player names a local file.
VideoSource video_source(const PlayedSource& played) {
    VideoSource source{played.file_name, "", played.page, played.title, played.duration};
    if (!played.path.empty())
        hash_of_file(played.path, source.hash);
    return source;
}

// How the messages name what plays: the file, or the page by its title.
std::string played_name(const VideoSource& source) {
    if (!source.file_name.empty())
        return source.file_name;
    return source.title.empty() ? source.page : source.title;
}

// The key the user's choice among several scripts is kept under: the copy's identity, else its
// name.
std::string choice_key(const VideoSource& source) {
    if (std::optional<MatchRule> rule = copy_source(source))
        return match_rule_text(*rule);
    return "file=" + source.file_name;
}

const IndexedScript* indexed(const std::string& path) {
    for (const IndexedScript& script : app.script_index) {
        if (script.script.path == path)
            return &script;
    }
    return nullptr;
}

// "Heat (1995)", or the script's file name when it names no film.
std::string film_label(const std::string& path) {
    const IndexedScript* script = indexed(path);
    if (script && !script->script.description.film.empty())
        return script->script.description.film;
    return std::string(last_path_part(path));
}

void show_match_text(std::string text) {
    app.match_text = std::move(text);
    show_line(Line::LoadError);
}

std::string sync_memory_path() {
    std::string folder = settings_folder();
    return folder.empty() ? "" : folder + SYNC_MEMORY_FILE;
}

void save_sync_memory() {
    std::string path = sync_memory_path();
    if (!path.empty())
        write_file_atomically(path, copy_maps_text(app.copy_maps, "\r\n"));
}

// The map for the script and the copy that plays: the one remembered from Sync Here, else the one
// the script's own copy line gives.
void apply_known_map() {
    if (!app.playing || app.script_path.empty())
        return;
    std::optional<MatchRule> source = copy_source(*app.playing);
    if (const CopyMap* remembered = source ? find_copy_map(app.copy_maps, app.script_path, *source) : nullptr) {
        restore_sync(remembered->copy.map, false);
        return;
    }
    std::string text;
    std::string error;
    std::vector<std::string> warnings;
    if (!read_whole_file(app.script_path, text, error))
        return;
    if (const CopyLine* copy = copy_for(read_film_description(text, warnings), *app.playing))
        restore_sync(copy->map, true);
}

void match_playing();

void load_matched(const ScriptMatch& match, const std::string& why) {
    open_script(match.path);
    show_lines();
    if (!app.script_loaded)
        return;
    // Opening applied the map known for this copy.
    app.script_by_hand = false;
    show_match_text("Script: " + film_label(match.path) + ", found by " + why);
}

// Several scripts fit: the one the user chose for this copy before, else their choice now.
void choose_among(const ScriptMatches& matches, const std::vector<ScriptMatch>& broken) {
    std::vector<const ScriptMatch*> best;
    for (size_t i = 0; i < matches.best_count; ++i)
        best.push_back(&matches.best_first[i]);
    std::string key = choice_key(*app.playing);
    const auto& choices = app.settings.script_choices;
    auto chosen_before =
        std::find_if(choices.begin(), choices.end(), [&](const auto& choice) { return choice.first == key; });
    if (chosen_before != choices.end()) {
        for (const ScriptMatch* match : best) {
            if (match->path == chosen_before->second)
                return load_matched(*match, "your choice for it last time");
        }
    }
    ScriptChoice choice{played_name(*app.playing), {}, -1};
    for (const ScriptMatch* match : best) {
        choice.entries.push_back({film_label(match->path) + "  -  " + std::string(last_path_part(match->path)) + " (" +
                                      match_reason_text(match->reason) + ")",
                                  true});
    }
    for (const ScriptMatch& match : broken) {
        const IndexedScript* script = indexed(match.path);
        choice.entries.push_back(
            {std::string(last_path_part(match.path)) + " does not load: " + (script ? script->load_error : ""), false});
    }
    std::string asked = choice_key(*app.playing) + played_name(*app.playing);
    app.choosing_script = true;
    INT_PTR answer = DialogBoxParamA(app.app_instance, MAKEINTRESOURCEA(IDD_CHOOSE_SCRIPT), app.main_window,
                                     ChooseScriptDlgProc, reinterpret_cast<LPARAM>(&choice));
    app.choosing_script = false;
    // Following stopped while the question was up (the settings changed, the window closes), or
    // another film started: the answer is for what plays no more.
    if (!app.playing)
        return;
    if (choice_key(*app.playing) + played_name(*app.playing) != asked)
        return match_playing();
    if (answer != IDOK || choice.chosen < 0 || static_cast<size_t>(choice.chosen) >= best.size()) {
        show_match_text("Script: none chosen for " + played_name(*app.playing) + "; the script stays as it was");
        return;
    }
    const ScriptMatch& match = *best[static_cast<size_t>(choice.chosen)];
    remember_script_choice(app.settings, key, match.path);
    save_settings(app.settings);
    load_matched(match, "your choice");
}

void match_playing() {
    std::vector<DescribedScript> loadable;
    std::vector<DescribedScript> not_loading;
    for (const IndexedScript& script : app.script_index)
        (script.load_error.empty() ? loadable : not_loading).push_back(script.script);
    ScriptMatches matches = match_scripts(*app.playing, loadable);
    std::vector<ScriptMatch> broken = match_scripts(*app.playing, not_loading).best_first;
    // The script that plays already fits: nothing to change (the same file started again, or its
    // duration told late).
    for (size_t i = 0; i < matches.best_count; ++i) {
        if (app.script_loaded && matches.best_first[i].path == app.script_path)
            return;
    }
    switch (matches.outcome()) {
        case MatchOutcome::None: {
            std::string text = "Script: none in " + scripts_folder(app.settings) + " fits " + played_name(*app.playing);
            if (!broken.empty())
                text += " (" + std::string(last_path_part(broken.front().path)) + " would, but does not load)";
            show_match_text(text + (app.script_loaded ? "; the script stays as it was" : ""));
            return;
        }
        case MatchOutcome::One:
            return load_matched(matches.best_first.front(), match_reason_text(matches.best_first.front().reason));
        case MatchOutcome::Several:
            return choose_among(matches, broken);
    }
}

}  // namespace

void index_scripts_folder() {
    app.scripts_watch.reset();
    app.script_index.clear();
    if (!app.settings.load_matching)
        return;
    std::string folder = made_scripts_folder(app.settings);
    if (folder.empty())
        return;
    WIN32_FIND_DATAA found{};
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            bool small = found.nFileSizeHigh == 0 && found.nFileSizeLow <= MAX_INDEXED_BYTES;
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && small && is_script_file_name(name))
                app.script_index.push_back(indexed_script(folder + "\\" + name));
        } while (app.script_index.size() < MAX_INDEXED_SCRIPTS && FindNextFileA(search, &found));
        FindClose(search);
    }
    app.scripts_watch = std::make_unique<FolderWatch>(app.main_window, folder, WM_SCRIPTS_FOLDER_CHANGED);
}

void on_scripts_folder_changed() {
    SetTimer(app.main_window, INDEX_TIMER, INDEX_QUIET_MS, nullptr);
}

void on_index_timer() {
    KillTimer(app.main_window, INDEX_TIMER);
    index_scripts_folder();
    // A script that fits may have come while nothing was loaded.
    if (app.playing && !app.script_loaded && app.settings.load_matching && !app.choosing_script)
        match_playing();
}

void on_played_source(const PlayedSource& played) {
    app.playing = video_source(played);
    // The chooser is up for what played before: what plays now is matched once it is answered.
    if (app.choosing_script)
        return;
    if (!app.settings.load_matching || (app.script_loaded && app.script_by_hand)) {
        if (app.sync.moments() == 0)
            apply_known_map();
        return;
    }
    match_playing();
}

void note_script_opened_by_hand() {
    app.script_by_hand = true;
    app.match_text.clear();
    apply_known_map();
}

void remember_sync() {
    std::optional<MatchRule> source = app.playing ? copy_source(*app.playing) : std::nullopt;
    if (!source || app.script_path.empty())
        return;
    remember_copy_map(app.copy_maps, CopyMap{app.script_path, CopyLine{*source, app.sync.map()}});
    save_sync_memory();
}

void forget_remembered_sync() {
    std::optional<MatchRule> source = app.playing ? copy_source(*app.playing) : std::nullopt;
    const CopyMap* remembered = source ? find_copy_map(app.copy_maps, app.script_path, *source) : nullptr;
    if (!remembered)
        return;
    app.copy_maps.erase(app.copy_maps.begin() + (remembered - app.copy_maps.data()));
    save_sync_memory();
}

void load_sync_memory() {
    std::string path = sync_memory_path();
    std::string text;
    std::string error;
    if (!path.empty() && read_whole_file(path, text, error))
        app.copy_maps = read_copy_maps(text);
}

}  // namespace dvbk
