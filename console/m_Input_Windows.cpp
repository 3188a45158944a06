#include "console/m_Input_Windows.h"

#include "console/key_codes.h"

using namespace conapi;

namespace {

constexpr uint16_t VkShift = 16;
constexpr uint16_t VkControl = 17;
constexpr uint16_t VkMenu = 18;  // Alt
constexpr uint16_t VkCapital = 20;
constexpr uint16_t VkNumLock = 144;
constexpr uint16_t VkScroll = 145;
constexpr uint16_t VkNumpad0 = 96;
constexpr uint16_t VkNumpad9 = 105;

bool IsLockOrModifier(uint16_t vk) {
    return vk == VkShift || vk == VkControl || vk == VkMenu || vk == VkCapital || vk == VkNumLock || vk == VkScroll;
}

// Ctrl with the keys of the cursor block and keypad, scan codes 71..83.
constexpr uint8_t CtrlPadCodes[13] = {119, 141, 132, 142, 115, 143, 116, 78, 117, 145, 118, 146, 147};

uint8_t AltCode(uint16_t scan) {
    if (scan >= 2 && scan <= 13) return static_cast<uint8_t>(scan + 118);
    if (scan == 28) return 166;
    if (scan == 53) return 164;
    if (scan >= 59 && scan <= 68) return static_cast<uint8_t>(scan + 45);
    if ((scan >= 71 && scan <= 73) || scan == 75 || scan == 77 || (scan >= 79 && scan <= 83))
        return static_cast<uint8_t>(scan + 80);
    if (scan == 87 || scan == 88) return static_cast<uint8_t>(scan + 52);
    return static_cast<uint8_t>(scan);
}

uint8_t CtrlCode(uint16_t scan) {
    if (scan == 15) return 148;
    if (scan == 53) return 149;
    if (scan == 55) return 150;
    if (scan >= 59 && scan <= 68) return static_cast<uint8_t>(scan + 35);
    if (scan >= 71 && scan <= 83) return CtrlPadCodes[scan - 71];
    if (scan == 87 || scan == 88) return static_cast<uint8_t>(scan + 50);
    return static_cast<uint8_t>(scan);
}

uint8_t ShiftCode(uint16_t scan) {
    if (scan >= 59 && scan <= 68) return static_cast<uint8_t>(scan + 25);
    if (scan == 87 || scan == 88) return static_cast<uint8_t>(scan + 48);
    return static_cast<uint8_t>(scan);
}

uint8_t PlainCode(uint16_t scan) {
    if (scan == 87 || scan == 88) return static_cast<uint8_t>(scan + 46);
    return static_cast<uint8_t>(scan);
}

}  // namespace

TInputWindows::TInputWindows() = default;

void TInputWindows::KeyTaken() {
    LastKeyAt = TickCount();
    ++KeyCount;
}

void TInputWindows::PushKey(char ch) {
    BufTail = static_cast<uint8_t>(BufTail + 1);
    if (BufTail > 64) BufTail = 1;
    KeyBuffer[BufTail] = ch;
}

uint8_t TInputWindows::TranslateScanCode(uint16_t scanCode, uint32_t state, uint16_t virtualKey) {
    if (state & (RightAltPressed | LeftAltPressed)) {
        if (virtualKey >= VkNumpad0 && virtualKey <= VkNumpad9) {
            AltNumActive = true;
            AltNumValue = static_cast<uint8_t>((AltNumValue * 10 + (virtualKey - VkNumpad0)) % 256);
        }
        return AltCode(scanCode);
    }
    if (state & (RightCtrlPressed | LeftCtrlPressed)) return CtrlCode(scanCode);
    if (state & ShiftPressed) return ShiftCode(scanCode);
    return PlainCode(scanCode);
}

bool TInputWindows::TakePasteRecord(const InputRecord& rec) {
    if (rec.KeyDown) {
        IncomingPaste.push_back(static_cast<char>(rec.Char));
        return false;
    }
    // The paste is whole: taken only if a field takes it now. The ring is
    // empty here (events are read only then), so the code's slot is exact.
    const bool take = PastesAccepted;
    if (take) WaitingPaste.swap(IncomingPaste);
    IncomingPaste.clear();
    if (!take) return false;
    PushKey(0);
    PushKey(static_cast<char>(KeyPaste));
    PasteSlot = BufTail;
    KeyTaken();
    return true;
}

bool TInputWindows::PollEvents() {
    for (;;) {
        InputRecord rec;
        ReadEvent(rec);
        if (rec.Type == EventType::Paste) {
            if (TakePasteRecord(rec)) return true;
            if (PendingEvents() == 0) return false;
            continue;
        }
        if (rec.Type == EventType::Key && rec.KeyDown && !IsLockOrModifier(rec.VirtualKey)) {
            const char ch = static_cast<char>(rec.Char);
            const uint32_t state = rec.ControlState;
            if (ch != 0 && !(state & (RightAltPressed | LeftAltPressed | EnhancedKey))) {
                PushKey(ch);
            } else if (rec.Char == 13 && rec.VirtualKey == 13) {
                PushKey(13);
            } else if ((state & RightAltPressed) && (state & LeftCtrlPressed) && ch != 0) {
                PushKey(ch);  // AltGr
            } else {
                PushKey(0);
                PushKey(static_cast<char>(TranslateScanCode(rec.ScanCode, state, rec.VirtualKey)));
            }
            KeyTaken();
            return true;
        }
        if (rec.Type == EventType::Key && !rec.KeyDown && rec.VirtualKey == VkMenu && AltNumActive && AltNumValue > 0) {
            PushKey(static_cast<char>(AltNumValue));
            AltNumActive = false;
            AltNumValue = 0;
            KeyTaken();
            return true;
        }
        if (PendingEvents() == 0) return false;
    }
}

bool TInputWindows::WaitForInputWatched(int timeout) {
    const uint32_t start = TickCount();
    for (;;) {
        const uint32_t now = TickCount();
        int left = -1;  // of the caller's time; -1: no limit
        if (timeout >= 0) {
            const uint32_t waited = now - start;
            left = waited >= static_cast<uint32_t>(timeout) ? 0 : timeout - static_cast<int>(waited);
        }
        if (!WatchHandler) return WaitForInput(left);
        const auto untilDue = static_cast<int32_t>(WatchDue - now);  // ticks wrap
        if (untilDue <= 0) {
            const std::function<void()> handler = std::move(WatchHandler);
            WatchHandler = nullptr;
            handler();
            continue;
        }
        const bool dueFirst = left < 0 || untilDue < left;
        if (WaitForInput(dueFirst ? untilDue : left)) return true;
        if (!dueFirst) return false;
    }
}

bool TInputWindows::WaitForKey(int timeout) {
    QuietAnswers = 0;
    if (!RingEmpty()) return true;
    do {
        if (!WaitForInputWatched(timeout)) return false;
    } while (!PollEvents());
    return true;
}

char TInputWindows::ReadKey() {
    // A wait without limit returns only when a key byte is there.
    while (RingEmpty()) WaitForKey(-1);
    BufHead = static_cast<uint8_t>(BufHead + 1);
    if (BufHead > 64) BufHead = 1;
    // The text belongs to the paste's own code only: a byte 250 typed as a
    // character, or a reader who skips the code, gets none of it.
    CurrentPaste.clear();
    if (PasteSlot != 0 && BufHead == PasteSlot) {
        CurrentPaste.swap(WaitingPaste);
        PasteSlot = 0;
    }
    return KeyBuffer[BufHead];
}
