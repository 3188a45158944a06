// The public reading mode of a board that serves the magazine to callers
// (QUIXMAG_PUBLIC=1): no music and no copies saved by the reader. The
// widgets and the viewer know nothing of it: the program hands them its
// settings.
#pragma once

#include <functional>
#include <string>
#include <string_view>

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
// notice (and SavingRefused is told).
ViewerSettings ViewerPolicy(std::function<void()> savingRefused = {});

// The gallery's prompt under a piece, and the one where saving is off.
inline const std::string ArtworkPrompt =
    "p r e s s  e  t o  e x t r a c t. a n y  o t h e r  k e y  t o  c o n t i n u e";
inline const std::string SavingOffArtworkPrompt =
    "s a v i n g  i s  o f f  h e r e. a n y  k e y  t o  c o n t i n u e";
// The prompt for this run.
const std::string& PiecePrompt();

// The line under the track menu's frame on a line that carries no sound.
inline const std::string NoSoundOnLine = "music plays only where the magazine runs on the reader's own machine";

// What the magazine's screens say of the music and of saving, and what they
// say instead where the line carries no sound or saving is off. Each claim
// is replaced where it stands, cell for cell, in the colours it has.
struct LineClaim {
    std::string_view Offer;
    std::string_view Instead;
    bool OfSaving;  // else of the music
};
inline constexpr LineClaim LineClaims[] = {
    {"now playing - t picks another tune", "no music on this line - t: tunes", false},  // the main menu
    {"save the text", "saving is off", true},                                          // the help screen
    {"ctrl+s save", "save is off", true},                                              // the text pages' keys
    {"e saves a copy", "saving is off", true},                                         // the gallery's keys
};

// Replaces, on the screen as it stands, the claims this line cannot keep.
void MarkWhatTheLineLacks();

// The notice in the middle of the screen; waits for a key and gives back
// what was under it.
void ShowSavingOff();
