// The console module: the one screen and keyboard objects, the plain
// procedures the whole program calls, pipe colour codes and string helpers.
//
// Every text handed to these procedures is cut to 255 characters first.
// Coordinates are 1-based: column 1..80, row 1..25.
// Texts are byte strings in code page 437.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "console/m_Input.h"
#include "console/m_Output.h"
#include "sys/sys.h"
#include "sys/text.h"

extern std::unique_ptr<TOutput> Screen;
extern std::unique_ptr<TInput> Keyboard;
// A record of four bytes: a window's X, Y, Width and Height (the rows below
// its first), or a marker run's column, row, attribute and length.
struct TCoord {
    Byte X = 0;
    Byte Y = 0;
    Byte Width = 0;
    Byte Height = 0;
};

constexpr Byte ScreenRows = 25;
constexpr Byte ScreenCols = 80;

// Longest text the console layer and the string helpers handle.
constexpr std::size_t MaxText = 255;

// Separator of file paths on this platform.
using sys::PathSeparator;

// Creates Screen and Keyboard (this takes the console and clears it).
void InitConsole();
// Frees Screen, then Keyboard; nothing on the screen is restored, but the
// terminal's own modes are given back.
void DoneConsole();

// Gives the terminal back, reports Message on standard error and ends the
// program with a non-zero status. For unexpected input/output failures.
[[noreturn]] void FatalError(const std::string& message);

// --- Screen output -------------------------------------------------------
void NewLine();
void WriteLine(const std::string& text);
void WriteStr(const std::string& text);
void ClearScreen();
Byte AttrAt(int x, int y);
char CharAt(int x, int y);
void GotoXY(int x, int y);
Byte WhereX();
Byte WhereY();
void SaveScreen(TScreenImage& image);
void RestoreScreen(const TScreenImage& image);
void SetTextColor(Byte color);
void WriteXY(int x, int y, Byte attr, const std::string& text);
void WriteXYPipe(int x, int y, Byte attr, const std::string& text);
// Count cells of art as they are, from column X of row Y (1-based); the
// cursor stays where it is.
void WriteCellsXY(int x, int y, const conapi::Cell* cells, int count);
void SetTextAttr(Byte attr);
Byte GetTextAttr();
void FlushOutput();
// Draws the whole screen again, every cell (Ctrl+L): a remote reader's
// terminal may have been written over by others.
void RedrawScreen();
void WritePipe(const std::string& text);
void Delay(int ms);
void ResetTerminal();
// Whether a file (not a folder) of that name exists.
bool IsFile(const std::string& name);

// --- Keyboard --------------------------------------------------------------
// Defined here: the ANSI renderer asks for every byte it draws, and the
// common answer (no key yet) should cost no call.
inline bool KeyPressed() { return Keyboard->KeyPressed(); }
char ReadKey();
// Waits Ms milliseconds like Delay, but ends as soon as a key byte is
// waiting (the key stays for ReadKey). Input that makes no key, such as a
// key release, does not shorten the wait. Answers whether a key is waiting.
bool DelayUntilKey(int ms);
// While an object of this class lives (a text field is open), a paste
// arrives as the extended key 0, KeyPaste; at other times pastes are
// dropped, so that no pasted letter acts as a key.
class PasteField {
public:
    PasteField() : before_(Keyboard->AcceptPastes(true)) {}
    ~PasteField() { Keyboard->AcceptPastes(before_); }
    PasteField(const PasteField&) = delete;
    PasteField& operator=(const PasteField&) = delete;

private:
    bool before_;
};
// The text of the paste whose KeyPaste code ReadKey has just handed out,
// in code page 437, one line; empty after any other key byte.
const std::string& PastedText();

// --- Pipe colour codes -----------------------------------------------------
// Which writer asks: the two accept slightly different codes.
enum class PipeRule { WritePipe, WriteXYPipe };
// Whether the two characters after a "|" (Code, one or two characters) begin
// a colour code for the given writer.
bool IsPipeCode(const std::string& code, PipeRule rule);
// The attribute a colour code turns Attr into (low 16 bits: codes 32..255
// of WriteXYPipe do not fit in a byte).
uint16_t PipeAttr(const std::string& code, uint16_t attr);

// --- String helpers ----------------------------------------------------------
std::string Upper(const std::string& text);
std::string Lower(const std::string& text);
std::string RepeatChar(char ch, int count);
std::string PadRight(const std::string& text, int width, char ch);
std::string PadLeft(const std::string& text, int width, char ch);
std::string PadCenter(const std::string& text, int width, char ch);
Byte PipeLength(const std::string& text);
// Text as the writer of Rule shows it, without its colour codes, whole
// however long it is (for plain lines, which know no colours).
std::string PipeText(std::string_view text, PipeRule rule);
Byte PipePadWidth(const std::string& text, int width);
int32_t StrToInt(const std::string& text);
std::string IntToStr(int32_t n);
// Appends the platform's path separator when the text does not end in one.
std::string AddSlash(const std::string& path);
// The text cut to 255 characters.
std::string Cut255(const std::string& text);
