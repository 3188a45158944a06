#include "console/m_Console.h"

#include "console/conapi.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <limits>

std::unique_ptr<TOutput> Screen;
std::unique_ptr<TInput> Keyboard;

// --- Life of the console ---------------------------------------------------

void InitConsole() {
    conapi::Open();
    Screen = std::make_unique<TOutput>(true);
    Keyboard = std::make_unique<TInput>();
}

void DoneConsole() {
    if (Screen) conapi::Flush();
    Screen.reset();
    Keyboard.reset();
    conapi::Close();
}

void FatalError(const std::string& message) {
    if (Screen) conapi::Flush();
    conapi::Close();
    std::fprintf(stderr, "quixmag: %s\n", message.c_str());
    std::exit(1);
}

// --- Screen output -------------------------------------------------------------

std::string Cut255(const std::string& text) { return text.size() > MaxText ? text.substr(0, MaxText) : text; }

void NewLine() { Screen->WriteLine(""); }
void WriteLine(const std::string& text) { Screen->WriteLine(Cut255(text)); }
void WriteStr(const std::string& text) {
    // The renderer writes every character by itself: no copy when no cut.
    if (text.size() <= MaxText)
        Screen->WriteStr(text);
    else
        Screen->WriteStr(Cut255(text));
}
void ClearScreen() { Screen->ClearScreen(); }
Byte AttrAt(int x, int y) { return Screen->AttrAt(x, y); }

char CharAt(int x, int y) {
    if (x < 1 || x > ScreenCols || y < 1 || y > ScreenRows) return ' ';
    return Screen->ShadowChar(x - 1, y - 1);
}

void GotoXY(int x, int y) { Screen->GotoXY(x, y); }
Byte WhereX() { return Screen->WhereX(); }
Byte WhereY() { return Screen->WhereY(); }
void SaveScreen(TScreenImage& image) { Screen->SaveRegion(1, 1, 80, 25, image); }
void RestoreScreen(const TScreenImage& image) { Screen->RestoreRegion(image); }

void SetTextColor(Byte color) { Screen->TextAttr = static_cast<Byte>((Screen->TextAttr & 0xF0) | (color & 0x0F)); }

void WriteXY(int x, int y, Byte attr, const std::string& text) { Screen->WriteXY(x, y, attr, Cut255(text)); }

void WriteXYPipe(int x, int y, Byte attr, const std::string& text) {
    const std::string cut = Cut255(text);
    Screen->WriteXYPipe(x, y, attr, PipeLength(cut), cut);
}

void WriteCellsXY(int x, int y, const conapi::Cell* cells, int count) { Screen->WriteCells(x, y, cells, count); }

void SetTextAttr(Byte attr) { Screen->TextAttr = attr; }
Byte GetTextAttr() { return Screen->TextAttr; }
void FlushOutput() { Screen->FlushOutput(); }

void RedrawScreen() {
    FlushOutput();
    conapi::Redraw();
}
void WritePipe(const std::string& text) { Screen->WritePipe(Cut255(text)); }
void Delay(int ms) {
    conapi::Sleep(ms);
    if (Keyboard) Keyboard->StartAskingAgain();
}

void ResetTerminal() { WriteStr("\x1b(U\x1b[0m"); }

bool IsFile(const std::string& name) { return sys::IsFile(name); }

// --- Keyboard ----------------------------------------------------------------------

char ReadKey() { return Keyboard->ReadKey(); }

const std::string& PastedText() { return Keyboard->PastedText(); }

bool DelayUntilKey(int ms) {
    Keyboard->StartAskingAgain();
    const uint32_t start = conapi::TickCount();
    for (;;) {
        if (Keyboard->BufHead != Keyboard->BufTail) return true;
        const uint32_t waited = conapi::TickCount() - start;
        if (ms <= 0 || waited >= static_cast<uint32_t>(ms)) return false;
        // Only for what is left of the wait: a record that makes no key
        // must not start the wait over.
        if (Keyboard->WaitForInputWatched(ms - static_cast<int>(waited))) Keyboard->PollEvents();
    }
}

// --- Pipe colour codes ---------------------------------------------------------------

namespace {

int PipeNumber(const std::string& code) { return static_cast<int>(static_cast<uint32_t>(StrToInt(code)) % 256); }

}  // namespace

bool IsPipeCode(const std::string& code, PipeRule rule) {
    if (code == "00") return true;
    if (code.empty()) return false;
    const int n = PipeNumber(code);
    if (rule == PipeRule::WritePipe) return n >= 1 && n <= 23 && code[0] != '$' && code[0] != '&';
    return n >= 1 && code[0] != '$';
}

uint16_t PipeAttr(const std::string& code, uint16_t attr) {
    const int n = PipeNumber(code);
    if (n <= 15) return static_cast<uint16_t>(n | (((attr >> 4) & 7) << 4));
    if (n <= 23) return static_cast<uint16_t>(((n - 16) << 4) | (attr & 15));
    // Background with the intensity bit; beyond 31 the value no longer
    // fits in a byte and the console receives its low 16 bits.
    return static_cast<uint16_t>((n - 16) * 16 + (attr & 15));
}

// --- String helpers --------------------------------------------------------------------

std::string Upper(const std::string& text) { return FoldCase(Cut255(text)); }

std::string Lower(const std::string& text) {
    std::string out = Cut255(text);
    for (char& ch : out) ch = LowerChar(ch);
    return out;
}

std::string RepeatChar(char ch, int count) {
    if (count <= 0) return {};
    return std::string(static_cast<std::size_t>(std::min<int>(count, MaxText)), ch);
}

std::string PadRight(const std::string& text, int width, char ch) {
    const std::size_t w = static_cast<std::size_t>(std::clamp(width, 0, static_cast<int>(MaxText)));
    std::string out = Cut255(text);
    if (out.size() > w) return out.substr(0, w);
    out.append(w - out.size(), ch);
    return out;
}

std::string PadLeft(const std::string& text, int width, char ch) {
    const std::size_t w = static_cast<std::size_t>(std::clamp(width, 0, static_cast<int>(MaxText)));
    const std::string cut = Cut255(text);
    if (cut.size() >= w) return cut.substr(0, w);
    return std::string(w - cut.size(), ch) + cut;
}

std::string PadCenter(const std::string& text, int width, char ch) {
    const std::size_t w = static_cast<std::size_t>(std::clamp(width, 0, static_cast<int>(MaxText)));
    const std::string cut = Cut255(text);
    if (cut.size() > w) return cut.substr(0, w);
    const std::size_t fill = w - cut.size();
    const std::size_t left = fill / 2;
    return std::string(left, ch) + cut + std::string(fill - left, ch);
}

Byte PipeLength(const std::string& text) {
    // Every "|" with two characters after it counts as a code here, even
    // when those characters form none.
    std::string rest = Cut255(text);
    for (;;) {
        const std::size_t bar = rest.find('|');
        if (bar == std::string::npos || rest.size() - bar < 3) break;
        rest.erase(bar, 3);
    }
    return static_cast<Byte>(rest.size());
}

std::string PipeText(std::string_view text, PipeRule rule) {
    std::string shown;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '|') {
            const std::string code(text.substr(i + 1, 2));
            if (IsPipeCode(code, rule)) {
                i += code.size();
                continue;
            }
        }
        shown += text[i];
    }
    return shown;
}

Byte PipePadWidth(const std::string& text, int width) {
    const std::string cut = Cut255(text);
    return static_cast<Byte>((width + static_cast<int>(cut.size()) - PipeLength(cut)) & 0xFF);
}

int32_t StrToInt(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';

    int base = 10;
    if (i < text.size()) {
        const char c = text[i];
        if (c == '$' || c == 'x' || c == 'X') {
            base = 16;
            ++i;
        } else if (c == '0' && i + 1 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
            base = 16;
            i += 2;
        } else if (c == '%') {
            base = 2;
            ++i;
        } else if (c == '&') {
            base = 8;
            ++i;
        }
    }
    if (i >= text.size()) return 0;

    // Decimal numbers must fit a signed 32-bit value; the other bases may
    // use all 32 bits.
    const uint64_t limit = base == 10 ? (negative ? 2147483648ULL : 2147483647ULL) : 0xFFFFFFFFULL;
    uint64_t value = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        if (digit < 0 || digit >= base) return 0;
        value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
        if (value > limit) return 0;
    }
    const uint32_t bits = static_cast<uint32_t>(value);
    return negative ? static_cast<int32_t>(0U - bits) : static_cast<int32_t>(bits);
}

std::string IntToStr(int32_t n) { return std::to_string(n); }

std::string AddSlash(const std::string& path) { return Cut255(sys::WithSeparator(Cut255(path))); }
