#include "console/web_keys.h"

#include <array>

#include "console/cp437.h"
#include "console/term_keys.h"

namespace webkeys {
namespace {

using conapi::InputRecord;
using namespace termkeys;

uint32_t ControlStateOf(uint32_t modifiers) {
    uint32_t state = 0;
    if (modifiers & Shift) state |= conapi::ShiftPressed;
    if (modifiers & Ctrl) state |= conapi::LeftCtrlPressed;
    if (modifiers & Alt) state |= conapi::LeftAltPressed;
    return state;
}

// The one code point of Key, or 0 when Key is a name or several characters.
char32_t SingleCodePoint(std::string_view key) {
    if (key.empty()) return 0;
    const auto lead = static_cast<uint8_t>(key[0]);
    std::size_t len = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
    if (len == 0 || key.size() != len) return 0;
    char32_t cp = len == 1 ? lead : lead & (0xFF >> (len + 1));
    for (std::size_t k = 1; k < len; ++k) {
        const auto c = static_cast<uint8_t>(key[k]);
        if ((c & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (c & 0x3F);
    }
    return cp;
}

struct Named {
    std::string_view key;
    uint16_t vk;
    uint16_t scan;
    bool enhanced;  // a key of the cursor block, not of the keypad
};

constexpr std::array<Named, 11> kNamed = {{
    {"ArrowUp", VkUp, 72, true},
    {"ArrowDown", VkDown, 80, true},
    {"ArrowLeft", VkLeft, 75, true},
    {"ArrowRight", VkRight, 77, true},
    {"Home", VkHome, 71, true},
    {"End", VkEnd, 79, true},
    {"PageUp", VkPrior, 73, true},
    {"PageDown", VkNext, 81, true},
    {"Insert", VkInsert, 82, true},
    {"Delete", VkDelete, 83, true},
    {"Clear", VkClear, 76, false},
}};

// The keypad's digits 0..9 by their set 1 scan codes.
constexpr std::array<uint8_t, 10> kPadDigitScan = {82, 79, 80, 81, 75, 76, 77, 71, 72, 73};

struct PadOperator {
    std::string_view code;
    char ch;
    uint16_t vk;
    uint16_t scan;
};

constexpr std::array<PadOperator, 5> kPadOperators = {{
    {"NumpadAdd", '+', VkAdd, 78},
    {"NumpadSubtract", '-', VkSubtract, 74},
    {"NumpadMultiply", '*', VkMultiply, 55},
    {"NumpadDivide", '/', VkDivide, 53},
    {"NumpadDecimal", '.', VkDecimal, 83},
}};

bool OnKeypad(std::string_view code) { return code.substr(0, 6) == "Numpad"; }

std::optional<InputRecord> NamedKey(std::string_view key, std::string_view code, uint32_t state) {
    for (const Named& n : kNamed) {
        if (n.key != key) continue;
        const bool enhanced = n.enhanced && !OnKeypad(code);
        return Make(n.vk, n.scan, 0, state | (enhanced ? uint32_t{conapi::EnhancedKey} : 0u));
    }
    if (key.size() >= 2 && key.size() <= 3 && key[0] == 'F') {
        int n = 0;
        for (char c : key.substr(1)) {
            if (c < '0' || c > '9') return std::nullopt;
            n = n * 10 + (c - '0');
        }
        if (n < 1 || n > 12) return std::nullopt;
        const uint16_t scan = n <= 10 ? static_cast<uint16_t>(58 + n) : static_cast<uint16_t>(76 + n);
        return Make(static_cast<uint16_t>(VkF1 + n - 1), scan, 0, state);
    }
    return std::nullopt;
}

// A key that types an ASCII byte: the US keyboard's record for it, with the
// modifiers held; Ctrl with a letter types its control character.
InputRecord AsciiWithModifiers(char32_t cp, std::string_view code, uint32_t modifiers) {
    const auto byte = static_cast<uint8_t>(cp);
    if (OnKeypad(code)) {
        if (byte >= '0' && byte <= '9')
            return Make(static_cast<uint16_t>(VkNumpad0 + (byte - '0')), kPadDigitScan[byte - '0'], byte,
                        ControlStateOf(modifiers));
        for (const PadOperator& op : kPadOperators)
            if (op.code == code && op.ch == static_cast<char>(byte))
                // Without the enhanced-key flag a PC console would give the
                // keypad's '/': with it, it becomes an extended code, and the
                // viewer's colour keys want the character, as a terminal sends it.
                return Make(op.vk, op.scan, byte, ControlStateOf(modifiers));
    }
    const bool letter = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z');
    if ((modifiers & Ctrl) && !(modifiers & Alt) && letter) {
        InputRecord rec = AsciiKey(static_cast<uint8_t>(byte & 0x1F));
        if (modifiers & Shift) rec.ControlState |= conapi::ShiftPressed;
        return rec;
    }
    InputRecord rec = AsciiKey(byte);
    rec.ControlState |= ControlStateOf(modifiers);
    return rec;
}

}  // namespace

std::optional<InputRecord> BrowserKey(std::string_view key, std::string_view code, uint32_t modifiers) {
    const uint32_t state = ControlStateOf(modifiers);
    if (key == "Enter") return AsciiWithModifiers('\r', "", modifiers);
    if (key == "Escape") return AsciiWithModifiers(0x1B, "", modifiers);
    if (key == "Tab") return AsciiWithModifiers('\t', "", modifiers);
    if (key == "Backspace") return AsciiWithModifiers('\b', "", modifiers);
    if (auto named = NamedKey(key, code, state)) return named;

    const char32_t cp = SingleCodePoint(key);
    if (cp == 0) return std::nullopt;  // a modifier, a dead key or another name
    if (cp < 0x20 || cp == 0x7F) return std::nullopt;
    if (cp < 0x80) return AsciiWithModifiers(cp, code, modifiers);
    if (auto ch = cp437::FromUnicode(cp)) return Make(0, 0, *ch, state);
    return std::nullopt;
}

}  // namespace webkeys
