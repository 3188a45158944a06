// A board's caller on Windows: the console API over the socket a board
// hands its door. The Windows console back-end hands every call on to it
// once a connection is in use; it draws with the terminal renderer and
// reads keys with the terminal's decoder, as a POSIX door does.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "console/conapi.h"

namespace boardline {

// The caller is on the socket Handle from now on; "" when it is one, else
// why not (and nothing changes).
std::string Use(const conapi::Connection& connection);
// Whether a caller's connection is in use.
bool Active();

void Open();
void Close();
int16_t BufferRows();
void SetBufferSize(conapi::Coord size);
void SetCursorInfo(bool visible);
void SetCursorPosition(conapi::Coord pos);
void WriteCells(const conapi::Cell* cells, conapi::Coord size, conapi::Rect region);
void ReadCells(conapi::Cell* cells, conapi::Coord size, conapi::Rect region);
uint16_t ReadAttribute(conapi::Coord pos);
void FillAttribute(uint16_t attr, int count, conapi::Coord pos);
void FillCharacter(uint8_t ch, int count, conapi::Coord pos);
void ScrollRect(conapi::Rect scroll, conapi::Rect clip, conapi::Coord dest, conapi::Cell fill);
int PendingEvents();
void ReadEvent(conapi::InputRecord& rec);
bool WaitForInput(int timeoutMs);
void Flush();
void Redraw();
bool ShowsOnlyAscii();
// Plain lines for the caller (asked before the connection is used or
// after); only a caller's connection shows them.
void UsePlainLines();
bool ShowsPlainLines();
bool SayRows(int first, int last);
void SayText(std::string_view text);
void Sleep(int ms);
void SetEndOfInputHandler(std::function<void()> handler);

}  // namespace boardline
