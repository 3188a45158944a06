// The keyboard object: turns console key records into the key byte stream
// the program reads. An ordinary key is one byte (its character); an
// extended key is the byte 0 followed by a code (the PC scan code, changed
// by Alt, Ctrl or Shift). A number typed on the keypad with Alt held arrives
// as one byte when Alt is released.
//
// Pasted text (Paste records) is no keys. While a field takes pastes
// (AcceptPastes), a whole paste arrives as one extended key, 0 and KeyPaste,
// and its text is PastedText() right after that code is read. Otherwise it
// is dropped as it comes: no key of it acts, and it never reaches a field
// opened later.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "console/conapi.h"

class TInputWindows {
public:
    TInputWindows();
    virtual ~TInputWindows() = default;
    TInputWindows(const TInputWindows&) = delete;
    TInputWindows& operator=(const TInputWindows&) = delete;

    // Whether a key byte is there to read.
    //
    // A caller that asks again and again without waiting between (the ANSI
    // renderer asks for every byte it draws) is answered from the ring
    // alone for all but every 16th call once it has asked 16 times in a
    // row: asking the console costs more than drawing a byte, and at
    // nanoseconds a call no key is missed for longer than a microsecond.
    // A wait or a key found starts the count over, so a caller that waits
    // between its calls always asks the console.
    bool KeyPressed() {
        if (!RingEmpty()) return true;
        if (QuietAnswers >= AskEvery && ++QuietAnswers % AskEvery != 0) return false;
        if (conapi::PendingEvents() > 0) WaitForKey(1);
        if (!RingEmpty()) {
            QuietAnswers = 0;
            return true;
        }
        ++QuietAnswers;
        return false;
    }
    // For the waits outside this class (Delay and the like): the next
    // KeyPressed asks the console.
    void StartAskingAgain() { QuietAnswers = 0; }
    char ReadKey();
    // Timeout in milliseconds; -1 waits without limit.
    bool WaitForKey(int timeout);
    bool PollEvents();
    void PushKey(char ch);
    uint8_t TranslateScanCode(uint16_t scanCode, uint32_t state, uint16_t virtualKey);

    // Whether pastes arrive as the KeyPaste key; answers the setting before.
    bool AcceptPastes(bool accept) {
        const bool before = PastesAccepted;
        PastesAccepted = accept;
        return before;
    }
    // The text of the paste whose KeyPaste code the last ReadKey handed
    // out; empty after any other byte.
    const std::string& PastedText() const { return CurrentPaste; }

    // A watch on the waits for keys (a board's time limits): Handler runs
    // when a wait reaches the tick Due (conapi::TickCount) before a key
    // came. It runs once, and may set the watch again for a later tick;
    // a wait it cuts into goes on afterwards for the rest of its time.
    void SetWatch(uint32_t due, std::function<void()> handler) {
        WatchDue = due;
        WatchHandler = std::move(handler);
    }
    // The tick when the last key came from the console, and how many have
    // come (so that a caller can tell whether one came since).
    uint32_t LastKeyTick() const { return LastKeyAt; }
    uint32_t KeysTaken() const { return KeyCount; }
    // Waits like conapi::WaitForInput, running the watch when it is due.
    bool WaitForInputWatched(int timeout);

    std::array<char, 65> KeyBuffer{};  // positions 1..64 are used
    uint8_t BufHead = 0;
    uint8_t BufTail = 0;
    bool AltNumActive = false;
    uint8_t AltNumValue = 0;

private:
    static constexpr uint32_t AskEvery = 16;

    bool RingEmpty() const { return BufHead == BufTail; }
    void KeyTaken();
    // Takes one Paste record; answers true when a paste key was stored.
    bool TakePasteRecord(const conapi::InputRecord& rec);

    uint32_t QuietAnswers = 0;  // "no key" answers in a row without a wait
    uint32_t WatchDue = 0;
    std::function<void()> WatchHandler;
    uint32_t LastKeyAt = 0;
    uint32_t KeyCount = 0;

    bool PastesAccepted = false;
    std::string IncomingPaste;  // the characters of the paste so far
    std::string WaitingPaste;   // the text of the KeyPaste code in the ring
    uint8_t PasteSlot = 0;      // ring position of that code; 0: none
    std::string CurrentPaste;   // the text of the code read last
};
