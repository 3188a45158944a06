// Names for the key bytes ReadKey delivers. Ordinary keys are one byte;
// extended keys are the byte 0 followed by one of the codes further down.
#pragma once

#include <cstdint>

// Ordinary keys.
constexpr uint8_t KeyCtrlA = 1;
constexpr uint8_t KeyCtrlF = 6;
constexpr uint8_t KeyCtrlG = 7;
constexpr uint8_t KeyBackspace = 8;
constexpr uint8_t KeyTab = 9;
constexpr uint8_t KeyCtrlL = 12;
constexpr uint8_t KeyEnter = 13;
constexpr uint8_t KeyCtrlR = 18;
constexpr uint8_t KeyCtrlS = 19;
constexpr uint8_t KeyCtrlY = 25;
constexpr uint8_t KeyEsc = 27;
constexpr uint8_t KeySpace = 32;

// Codes of extended keys (the byte after the 0).
constexpr uint8_t KeyF1 = 59;
constexpr uint8_t KeyF10 = 68;
constexpr uint8_t KeyHome = 71;
constexpr uint8_t KeyUp = 72;
constexpr uint8_t KeyPgUp = 73;
constexpr uint8_t KeyLeft = 75;
constexpr uint8_t KeyRight = 77;
constexpr uint8_t KeyEnd = 79;
constexpr uint8_t KeyDown = 80;
constexpr uint8_t KeyPgDn = 81;
constexpr uint8_t KeyDel = 83;
constexpr uint8_t KeyCtrlLeft = 115;
constexpr uint8_t KeyCtrlRight = 116;
// Text pasted into the terminal, taken as a whole (PastedText() holds it).
// No key's scan code gives this code.
constexpr uint8_t KeyPaste = 250;
