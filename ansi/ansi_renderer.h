// Draws ANSI art files (code page 437 bytes, escape sequences, pipe colour
// codes) at the cursor, paced like a slow line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Draws FileName from the current cursor position. PauseInterval: sleep 6 ms
// whenever the position inside the current 4096-byte block is a multiple of
// it; 0 or less means no pauses. Esc stops the drawing; "+", "-", "*", "/"
// change the pace. A file that cannot be opened is reported with a line.
void ShowAnsiFile(const std::string& FileName, int32_t PauseInterval);

// The same for bytes in memory (a screen taken straight from the resources):
// drawn, paced and stopped exactly as the file of those bytes would be.
// ShowAnsiFile reads its file whole and hands the bytes here.
void ShowAnsiBytes(std::string_view Bytes, int32_t PauseInterval);

class TCanvas;

// Draws Bytes on a page larger than the screen, at once (no pace, no keys),
// from its top left corner: what the screen would show of a piece that fits
// it, and the whole of one that does not.
void DrawAnsiOnCanvas(std::string_view Bytes, TCanvas& Canvas);

// The program's command-line arguments, read by the "/" pace key (the second
// argument is the new pause interval). Set once by the program entry.
void SetRendererArguments(int argc, char** argv);
