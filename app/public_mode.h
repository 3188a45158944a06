// The public reading mode of a board that serves the magazine to callers
// (QUIXMAG_PUBLIC=1): no music and no copies saved by the reader. The
// widgets and the viewer know nothing of it: the program hands them its
// settings.
#pragma once

#include <string>

#include "viewer/text_viewer.h"

// How long the light bar's ripple goes on without a key in public mode.
inline constexpr int PublicBarRestMs = 60000;

// The notice that answers a save key in public mode.
inline const std::string SavingOffNotice = "saving is off on this board";

// True when QUIXMAG_PUBLIC is set to anything but "" or "0".
bool PublicMode();

// False in public mode: the save keys show the notice instead.
bool SavingAllowed();

// False in public mode and in remote sessions (SSH_CONNECTION set): the
// sound card of the machine that runs the program is not the reader's.
bool MusicAllowed();

// The light bar's idle rest for this run: PublicBarRestMs in public mode,
// else 0 (the ripple never rests).
int32_t BarIdleRestMs();

// The viewer's settings for this run: in public mode its save key shows the
// notice.
ViewerSettings ViewerPolicy();

// The notice in the middle of the screen; waits for a key and gives back
// what was under it.
void ShowSavingOff();
