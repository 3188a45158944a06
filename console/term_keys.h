// Terminal key decoding: the bytes a terminal sends for key presses, turned
// into the key records a PC console reports (virtual-key code, set 1 scan
// code, 8-bit character, Shift/Ctrl/Alt state). The keyboard object then
// treats a terminal exactly like the console.
//
// Understood input forms: plain and control bytes; xterm (CSI and SS3 forms
// with modifiers CSI 1;mX and CSI n;m~), VT220 (CSI n~), the linux console
// (CSI [A..[E), rxvt (CSI n$, CSI n^, CSI n@, CSI a-d, SS3 a-d); Alt+key as
// ESC followed by the key; UTF-8 input, mapped to code page 437.
//
// Bracketed paste: the terminal sends pasted text between CSI 200~ and
// CSI 201~. The text is no keys: it comes out as Paste records, one per
// character (its code page 437 byte in Char), then one closing Paste record
// with KeyDown false. Line breaks (CR, LF, CR LF) and tabs become one space
// each, other control characters are dropped: a field takes the text as one
// line, and nothing of it can act as a key.
//
// The decoder is pure: bytes in, records out. Terminals send a sequence in
// one go, but a read may split it; unfinished input stays pending until more
// bytes come, or until the caller says that the short wait for them has
// passed (Expire): then a lone ESC is the Esc key.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "console/conapi.h"

namespace termkeys {

// How long a pending ESC waits for the rest of a sequence, in milliseconds.
// Long enough for a sequence that a remote shell or a busy machine delivers
// in two reads; short enough that Esc still answers at once.
constexpr int kEscWaitMs = 50;

// How long an unfinished paste waits for its next bytes before it ends with
// what came, in milliseconds. A paste comes in many reads over a slow link,
// so this is far longer than the Esc wait; a terminal that never sends the
// end marker still gets its keys back after it.
constexpr int kPasteWaitMs = 1000;

// Most characters of one paste kept; the rest is dropped up to the end
// marker. More than any field holds.
constexpr std::size_t kMaxPasteChars = 4096;

// A key-down record of the virtual key Vk with its scan code, character and
// control-key state, as a console delivers it.
conapi::InputRecord Make(uint16_t vk, uint16_t scan, uint8_t ch, uint32_t state);

// Virtual-key codes of the keys the decoder reports.
enum Vk : uint16_t {
    VkBack = 0x08,
    VkTab = 0x09,
    VkClear = 0x0C,
    VkReturn = 0x0D,
    VkEscape = 0x1B,
    VkSpace = 0x20,
    VkPrior = 0x21,
    VkNext = 0x22,
    VkEnd = 0x23,
    VkHome = 0x24,
    VkLeft = 0x25,
    VkUp = 0x26,
    VkRight = 0x27,
    VkDown = 0x28,
    VkInsert = 0x2D,
    VkDelete = 0x2E,
    VkNumpad0 = 0x60,
    VkMultiply = 0x6A,
    VkAdd = 0x6B,
    VkSubtract = 0x6D,
    VkDecimal = 0x6E,
    VkDivide = 0x6F,
    VkF1 = 0x70,
    VkOem1 = 0xBA,
    VkOemPlus = 0xBB,
    VkOemComma = 0xBC,
    VkOemMinus = 0xBD,
    VkOemPeriod = 0xBE,
    VkOem2 = 0xBF,
    VkOem3 = 0xC0,
    VkOem4 = 0xDB,
    VkOem5 = 0xDC,
    VkOem6 = 0xDD,
    VkOem7 = 0xDE,
};

// The record of an ASCII byte (0x00-0x7F) typed on a US keyboard: letters,
// digits, punctuation with Shift where needed, Ctrl+letter for 1..26, Enter
// for CR and LF, Backspace for BS and DEL, Tab, Esc.
conapi::InputRecord AsciiKey(uint8_t byte);

class Decoder {
public:
    // Utf8: bytes from 0x80 are UTF-8 sequences; otherwise each is one
    // 8-bit character.
    explicit Decoder(bool utf8 = true) : utf8_(utf8) {}

    // Decodes Bytes; one key-down record per complete key goes to Out.
    void Feed(std::string_view bytes, std::vector<conapi::InputRecord>& out);
    // The wait for more bytes has passed: a pending ESC becomes the Esc key
    // (ESC [ and ESC O become Alt+[ and Alt+O); an unfinished paste ends
    // with what came; other unfinished input is dropped.
    void Expire(std::vector<conapi::InputRecord>& out);
    // Whether unfinished input waits for more bytes.
    bool Pending() const { return !pending_.empty() || pasting_; }
    // Whether a paste has begun and not yet ended.
    bool Pasting() const { return pasting_; }
    // Raw bytes held back (not the text of a paste, which has its own bound).
    std::size_t PendingBytes() const { return pending_.size(); }

private:
    void Decode(bool final, std::vector<conapi::InputRecord>& out);
    // Takes the paste's bytes from Pos on; answers false when it must wait
    // for more bytes, with Pos at the first byte not taken.
    bool TakePaste(std::size_t& pos, bool final, std::vector<conapi::InputRecord>& out);
    void AddPasted(uint8_t ch);
    void EndPaste(std::vector<conapi::InputRecord>& out);

    bool utf8_;
    std::string pending_;
    // Inside an over-long control sequence: its bytes are dropped up to its
    // final byte, so that garbage neither grows the buffer nor types keys.
    bool skipping_ = false;
    // Between the paste's start and end markers: the text so far, and
    // whether its last byte was a CR (the LF of a CR LF adds nothing).
    bool pasting_ = false;
    bool afterCr_ = false;
    std::string pasted_;
};

// The decoder with its clock: the terminal's input path. Times are a
// monotonic clock in nanoseconds. Unfinished input is resolved (a lone ESC
// becomes the Esc key) only once kEscWaitMs have passed since the last bytes
// came; a time taken before those bytes were read never expires them. An
// unfinished paste waits kPasteWaitMs instead.
class KeyInput {
public:
    explicit KeyInput(bool utf8 = true) : decoder_(utf8) {}

    // Bytes read at NowNs.
    void Feed(std::string_view bytes, uint64_t nowNs, std::vector<conapi::InputRecord>& out);
    // Resolves unfinished input if its wait is over at NowNs.
    void ExpireIfDue(uint64_t nowNs, std::vector<conapi::InputRecord>& out);
    // Milliseconds (rounded up) from NowNs until unfinished input is due;
    // -1 when nothing waits.
    int MsUntilDue(uint64_t nowNs) const;
    bool Pending() const { return decoder_.Pending(); }

private:
    uint64_t DueNs() const {
        const int waitMs = decoder_.Pasting() ? kPasteWaitMs : kEscWaitMs;
        return lastInputNs_ + static_cast<uint64_t>(waitMs) * 1'000'000u;
    }

    Decoder decoder_;
    uint64_t lastInputNs_ = 0;
};

}  // namespace termkeys
