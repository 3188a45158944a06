// The track menu: the tracks, chosen with hot keys T and M.
#pragma once

#include <array>
#include <string>

struct MagazineRun;

void TrackMenu(MagazineRun& Run);

// The track menu's frame: ten rows of pipe-coded code page 437 block art,
// row I drawn at column 1, row I.
extern const std::array<std::string, 10> TrackFrameRows;
// Draws the frame with WriteXYPipe from attribute 7, pausing 10 ms after
// each row (the first step of TrackMenu).
void DrawTrackFrame();
