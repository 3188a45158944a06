// The keyboard object: turns console key records into the key byte stream
// the program reads. An ordinary key is one byte (its character); an
// extended key is the byte 0 followed by a code (the PC scan code, changed
// by Alt, Ctrl or Shift). A number typed on the keypad with Alt held arrives
// as one byte when Alt is released.
#pragma once

#include <array>
#include <cstdint>

#include "conapi.h"

class TInputWindows {
public:
    TInputWindows();
    virtual ~TInputWindows() = default;
    TInputWindows(const TInputWindows&) = delete;
    TInputWindows& operator=(const TInputWindows&) = delete;

    bool KeyPressed();
    char ReadKey();
    // Timeout in milliseconds; -1 waits without limit.
    bool WaitForKey(int timeout);
    bool PollEvents();
    void PushKey(char ch);
    uint8_t TranslateScanCode(uint16_t scanCode, uint32_t state, uint16_t virtualKey);

    std::array<char, 65> KeyBuffer{};  // positions 1..64 are used
    uint8_t BufHead = 0;
    uint8_t BufTail = 0;
    bool AltNumActive = false;
    uint8_t AltNumValue = 0;

private:
    bool RingEmpty() const { return BufHead == BufTail; }
};
