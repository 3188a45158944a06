// Test controls of the in-memory console: scripted input, a virtual clock,
// and read access to the cells. Only the unit tests link this back-end.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "console/conapi.h"

namespace memcon {

// Thrown when the program waits for a key without limit and the script holds
// no further input: a test that forgot a key fails instead of hanging.
struct InputExhausted : std::runtime_error {
    InputExhausted() : std::runtime_error("memory console: input script exhausted") {}
};

// Empties the cells (all zero), the input queue and the counters; the clock
// goes back to 0; the buffer gets Rows rows (25 or 50 usually).
void Reset(int rows = 25);

// Queues an input record that becomes visible once the virtual clock has
// reached AtMs (0: at once).
void PushEvent(const conapi::InputRecord& rec, uint32_t atMs = 0);
// Queues the key-down and key-up records of one key.
void PushKeyPress(uint16_t virtualKey, uint16_t scanCode, uint8_t ch, uint32_t state = 0, uint32_t atMs = 0);
// Queues typing of the characters of Text (ordinary keys, Enter for CR).
void TypeText(const std::string& text, uint32_t atMs = 0);
// Common keys, as a keyboard reports them.
void PressEnter(uint32_t atMs = 0);
void PressEsc(uint32_t atMs = 0);
void PressBackspace(uint32_t atMs = 0);
void PressTab(uint32_t atMs = 0);
// Ctrl + letter ('a'..'z').
void PressCtrl(char letter, uint32_t atMs = 0);
// Grey cursor and edit keys by their scan code (72 Up, 80 Down, 75 Left,
// 77 Right, 73 PgUp, 81 PgDn, 71 Home, 79 End, 82 Ins, 83 Del) with the
// enhanced-key flag, optionally with Ctrl/Alt/Shift state bits.
void PressExtended(uint16_t scanCode, uint32_t state = 0, uint32_t atMs = 0);
// F1..F12.
void PressFunction(int n, uint32_t state = 0, uint32_t atMs = 0);
// Calls Hook after every Sleep (until Reset), so that a test can look at
// the screen between the steps of an animation.
void OnSleep(std::function<void()> hook);
// Calls Hook whenever the virtual clock moves (a sleep, or a wait for
// input that ran the clock on), until Reset: a test can bound a run in
// virtual time or look at the screen at chosen moments.
void OnClockMoved(std::function<void()> hook);
// Input records still queued.
int QueuedEvents();

// The virtual clock, in milliseconds; Sleep advances it at once.
uint32_t Now();
// Sum and number of Sleep calls since Reset.
uint64_t SleptMs();
uint64_t SleepCalls();

// Cells of the console buffer (0-based).
conapi::Cell CellAt(int col, int row);
// The characters of a row as a string (character 0 shown as a space).
std::string RowText(int row);
conapi::Coord CursorPos();
bool CursorVisible();
// Whether the program holds the console: opened and not given back since.
bool Opened();
int16_t Rows();
// Calls of each kind of cell operation since Reset.
uint64_t WriteCalls();
// Scrolls of a rectangle of cells since the last Reset (the character
// writer scrolls the screen when it goes on past the last row).
uint64_t ScrollCalls();
// Calls of conapi::Redraw since Reset.
uint64_t Redraws();
// What the program said the screen means since Reset (conapi::Describe...).
struct Meaning {
    std::vector<std::string> Places;  // every place described, in order
    std::string Title;                // the latest place's title
    std::vector<std::string> MenuEntries;
    int MenuLit = 0;
    int MenuTop = 0;
    conapi::Rect MenuBox{};
    conapi::Rect TextWindow{0, 0, -1, -1};
    std::string Wanted;  // what conapi::WantedPlace answers
    int LetterSpacing = 8;
    bool LegacyAspect = false;
    // The font of DescribeFont: empty glyphs while the console's own is in use.
    std::string FontGlyphs;
    int FontHeight = 16;
    int FontCount = 256;
};
const Meaning& Described();
// The reader asks for Place, as an address opened in a page does.
void AskForPlace(const std::string& place);
// Whether conapi::UseTerminalPalette was called since Reset.
bool TerminalPalette();
// What conapi::ShowsOnlyAscii answers (until Reset: false).
void SetOnlyAscii(bool only);
// What plain lines sent since Reset (after conapi::UsePlainLines).
const std::string& PlainOutput();
// What conapi::OutputIsTerminal answers (until Reset: true).
void SetOutputIsTerminal(bool terminal);
// The connection conapi::UseConnection was last given since Reset, if any.
const conapi::Connection* ConnectionUsed();

}  // namespace memcon
