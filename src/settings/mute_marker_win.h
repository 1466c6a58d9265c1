// The mute marker's file beside the settings, and the process checks that tell whether the run
// that wrote it is still going.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "settings/mute_marker.h"

namespace dvbk {

// "mute_marker.xml" in the settings folder (the current directory when that can't be had).
std::string mute_marker_path();

ProcessIdentity this_process();

// False only when the process is certainly gone: no process has the id, or the one that has it
// started at another time (the id was given again) or has ended. One that can't be looked at
// (another user's) counts as running.
bool process_running(const ProcessIdentity& process);

// Notes that this process has just muted `output`, written atomically over any earlier marker.
void save_mute_marker(const MutedOutput& output);

// The marker on disk; nothing when there is none or it can't be read.
std::optional<MuteMarker> load_mute_marker();

// Deletes the marker if `owner` wrote it: a marker of another instance, still muting, stays.
void remove_mute_marker(const ProcessIdentity& owner);

// This process's own marker, removed once its output sounds again.
void clear_mute_marker();

// The marker as this process wants it from now on: naming `output`, or none. The write is left to a
// thread of its own and this returns at once, so that no disk write stands between the clock and a
// mute or a cover; only the latest wish is carried out (a save overtaken by a clear never reaches
// the disk).
void post_mute_marker(std::optional<MutedOutput> output);

// Waits until the disk holds the latest wish, for at most `milliseconds`; false when it did not come
// to that in time. The program waits so at exit, after its last unmute.
bool flush_mute_marker(unsigned milliseconds);

}  // namespace dvbk
