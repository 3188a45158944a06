// Background music: the sound library loaded out of the executable, the
// module in play, and the track menu.
#pragma once

#include <string>

void LoadSoundLibrary();
void PlayTrack(const std::string& Name);
void ToggleMusic();
void TrackMenu();
void ReleaseMusic();
