// Carrying out events: the loop's step for events that fell due and the timer for the next one,
// putting things right after the clock is set, and the once-a-second status refresh.
#pragma once

#include <windows.h>

#include "script/filter_script.h"

namespace dvbk {

// Acts on one event (cover, uncover, mute, unmute, or both) and records the new state.
void dispatch_event(const FilterEvent& event);

// One step of the message loop: carries out, in list order, every event the clock has passed.
void carry_out_due_events();

// Sets the one-shot event timer for the moment the next event falls due (or stops it while the
// clock stands or nothing is left). Called wherever the clock, its rate or the cursor changes.
void arm_event_timer();

// Has the output noted ahead while a mute is near (see AudioMuter::expect_mute), and the note
// dropped once none is. Called with every arming of the event timer and every status refresh, so
// that a clock running towards a mute range is seen about once a second.
void note_mute_ahead();

// Asks the system for 1 ms timer resolution, or gives it back.
void set_fine_timer(bool on);

// Sets information about a process as SetProcessInformation does; replaceable so that tests see
// what is asked and can have it refused.
using ProcessInformationSetter = BOOL(WINAPI*)(HANDLE process, PROCESS_INFORMATION_CLASS kind, LPVOID information,
                                               DWORD size);
// Puts `setter` in place of the system's SetProcessInformation; nullptr restores it.
void set_process_information_setter(ProcessInformationSetter setter);

// Keeps the event timer as fine, and the program as quick, while its window is hidden behind the
// player as while it is in front. Called once the window exists. Where Windows refuses (one that
// does not know a flag, one before Windows 8 that has no such call, Wine), timing is what the
// system gives a hidden window there, as it always was.
void keep_timing_when_hidden();

// After Set Time: every event at or before `set_to`, the position just set, counts as done without
// being carried out; if that moves the cursor, sound and window go back to normal. The caller passes
// the time it set rather than the clock's reading of it, which can come out a hair below: a time
// typed exactly as a range's start must count that start as done, whatever the tick count.
void resync_after_seek(double set_to);

// After the script or the clock's timeline changed under a running film (a reload, a sync, a jump of
// the player followed): the cursor goes to the first event after the position and what the script
// has in force there is carried out, whatever was in force before. What stays in force is left as
// it is; a cover goes up before a mute.
void carry_out_what_is_in_force();

// Ends whatever mute and cover are in force: the sound back on, the window shown normally, the
// flags and the action line back to normal.
void end_actions();

// Moves the mute to the system's new default output while a mute range is in force.
void follow_default_output();

// Rebuilds the status lines and the window title and asks for the status lines to be repainted.
void refresh_status();
void CALLBACK refresh_status_timer(HWND window, UINT message, UINT_PTR id, DWORD time);

}  // namespace dvbk
