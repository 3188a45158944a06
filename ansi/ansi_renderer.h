// Draws ANSI art files (code page 437 bytes, escape sequences, pipe colour
// codes) at the cursor, paced like a slow line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
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
// from its top left corner, by the rules of the screens: what the screen
// would show of a screen that fits it, and the whole of one that does not.
void DrawAnsiOnCanvas(std::string_view Bytes, TCanvas& Canvas);

// How an ANSI piece is drawn beside the rules of the magazine's own screens.
// Every piece: a line end right after a full row ends that row (deferred
// wrap), and 24-bit and 256-colour sequences set colours of their own
// (ESC[38;2;r;g;bm, ESC[48;2;r;g;bm, ESC[38;5;nm, ESC[48;5;nm, and
// ESC[0;r;g;bt for the background, ESC[1;r;g;bt for the foreground).
enum class BlinkRule {
    Screen,   // no record: the screens' rule, blink sets bit 7, 40-47 clear it
    Bright,   // the record's iCE flag: blink is a bright background, which the
              // background codes keep
    Ignored,  // a record without the flag: blink draws no brighter background
};

// Draws the piece Bytes (its art alone, without its SAUCE record) on
// Canvas, at once, by the rules of pieces: the Canvas's deferred wrap, the
// Blink rule, and colours of their own.
void DrawAnsiPiece(std::string_view Bytes, BlinkRule Blink, TCanvas& Canvas);

// The same, paced and stopped by keys exactly as ShowAnsiBytes draws (Esc
// ends the pacing, and the rest is drawn at once): BeforePause runs before
// each pause and at the end, so that the caller can show what the canvas
// holds by then.
void ShowAnsiPiece(std::string_view Bytes, int32_t PauseInterval, BlinkRule Blink, TCanvas& Canvas,
                   const std::function<void()>& BeforePause);

// Shows Rows rows of a page one after another, paced as a file of
// BytesPerRow bytes a row would be drawn (a 6 ms pause each time the bytes
// read pass a multiple of PauseInterval) and sped up, slowed or finished at
// once by the same keys: Show(Row) brings rows 1 to Row onto the screen,
// before each pause and at the end. For pieces whose format holds cells,
// not a stream of text.
void RevealRowsPaced(int Rows, std::size_t BytesPerRow, int32_t PauseInterval, const std::function<void(int)>& Show);

// The program's command-line arguments, read by the "/" pace key (the second
// argument is the new pause interval). Set once by the program entry.
void SetRendererArguments(int argc, char** argv);
