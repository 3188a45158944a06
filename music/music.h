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

// Writes the sound library out of the executable, loads and initialises it,
// then starts the module resource FirstTrack. Any failure only switches the
// music off, with a line of text.
void LoadSoundLibrary(const std::string& FirstTrack);
void PlayTrack(const std::string& Name);
void ToggleMusic();
void ReleaseMusic();
