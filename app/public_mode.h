// The public reading mode of a board that serves the magazine to callers
// (QUIXMAG_PUBLIC=1): no music and no copies saved by the reader.
#pragma once

#include <string>

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

// A small framed notice in the middle of the screen; waits for a key and
// gives back what was under it.
void ShowSavingOff();
