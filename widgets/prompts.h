// The line editor and the YES/NO input dialog.
#pragma once

#include <string>

#include "console/m_Console.h"

// Plain key bytes and extended key codes that end InputLine.
extern std::string EndKeys;
extern std::string EndKeysExtended;

// Edits a line of at most MaxLen characters in a field of FieldWidth columns
// at (Col, Row) until a key of EndKeys / EndKeysExtended is pressed; the
// edited text goes to Result. InputMode: 0 digits and "-", 1 any character,
// 2 upper case, 3 date MM/DD/YY.
void InputLine(Byte Col, Byte Row, Byte FieldWidth, Byte MaxLen, Byte InputMode, Byte EditAttr, Byte FillAttr,
               char FillChar, const std::string& Initial, std::string& Result);

// Draws the dialog frame, shows Prompt, edits Text, then asks YES or NO.
// Text is handed back edited whatever the answer. True for YES.
bool InputDialog(Byte X, Byte Y, Byte X2, Byte Y2, const std::string& Title, const std::string& Prompt,
                 std::string& Text);

void DrawDialogFrame(Byte X, Byte Y);
