// Background music: the sound library loaded out of the executable, the
// module in play and hot key P, with the program's music state.
#pragma once

#include <string>

// The program-wide music state.
extern bool SilentMode;   // --silent, or music not allowed here
extern bool MusicFailed;  // the library could not be loaded or started
extern bool MusicPlaying;
extern std::string CurrentMusicFile;  // the module file in use
extern std::string SoundLibraryFile;
// Why the music is off for the run after a failure (empty while it is on,
// and with --silent): shown by the track menu.
extern std::string MusicOffReason;

// Writes the sound library out of the executable, loads and initialises it,
// then starts the module resource FirstTrack. Any failure only switches the
// music off, with a line of text. Called with the working folder open (see
// SoundLibraryUnwritable for a run without one).
void LoadSoundLibrary(const std::string& FirstTrack);
// The start-up without a working folder: the sound library cannot be
// written, so it is reported as a library that cannot be loaded, with
// Reason, and the music is off for the run.
void SoundLibraryUnwritable(const std::string& Reason);
// A track whose module file cannot be written switches the music off for
// the run (the library is released); the magazine goes on.
void PlayTrack(const std::string& Name);
void ToggleMusic();
void ReleaseMusic();
