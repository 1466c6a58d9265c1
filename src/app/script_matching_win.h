// The scripts folder: indexed, watched, and searched for the script that fits what the followed
// player plays; and Sync Here's map remembered for each script and copy of its film.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "players/player_reports.h"
#include "script/copy_maps.h"
#include "script/film_match.h"

namespace dvbk {

// A script of the folder as the index holds it: what its comments say of its film, and why it
// does not load (empty when it does).
struct IndexedScript {
    DescribedScript script;
    std::string load_error;
};

// The sync memory's file beside the settings.
inline constexpr const char* SYNC_MEMORY_FILE = "synced_copies.txt";

// Reads the folder's scripts (*.dvbk, *.txt) into the index and watches the folder; with matching
// switched off, empties the index and stops the watch. Called at start and after Settings.
void index_scripts_folder();

// WM_SCRIPTS_FOLDER_CHANGED: the index is read again once the folder has been quiet a while.
void on_scripts_folder_changed();
void on_index_timer();

// The followed player plays something new: the script that fits it loads, unless the user opened
// one by hand; the map known for the script and this copy is applied.
void on_played_source(const PlayedSource& played);

// The user opened a script (File > Open, a drop, the command line, a new script): matching never
// replaces it. The map known for it and the copy that plays (remembered from Sync Here, else the
// script's own copy line) is applied.
void note_script_opened_by_hand();

// After Sync Here: the map is remembered for the script and the copy that plays. After Clear Sync:
// forgotten.
void remember_sync();
void forget_remembered_sync();

// The sync memory read from its file, at start.
void load_sync_memory();

}  // namespace dvbk
