// The web edition's keys: what a browser's KeyboardEvent says (key, code,
// modifiers) becomes the key bytes of the keyboard object, the same bytes a
// PC console delivers for that key. Every key of the README's key tables
// is here, with the bytes the keyboard's table of extended codes gives.
#include <gtest/gtest.h>

#include <string_view>
#include <vector>

#include "console/web_keys.h"
#include "console_fixture.h"

namespace {

constexpr uint32_t kShift = webkeys::Shift;
constexpr uint32_t kCtrl = webkeys::Ctrl;
constexpr uint32_t kAlt = webkeys::Alt;

class WebKeys : public ConsoleTest {
protected:
    // The key bytes one browser key gives; empty when the key gives none.
    static std::vector<int> Bytes(std::string_view key, std::string_view code, uint32_t modifiers = 0) {
        const auto rec = webkeys::BrowserKey(key, code, modifiers);
        if (!rec) return {};
        memcon::PushEvent(*rec);
        conapi::InputRecord up = *rec;
        up.KeyDown = false;
        memcon::PushEvent(up);
        std::vector<int> bytes;
        while (KeyPressed()) bytes.push_back(static_cast<unsigned char>(ReadKey()));
        return bytes;
    }
    static std::vector<int> Ext(int code) { return {0, code}; }
};

}  // namespace

TEST_F(WebKeys, MenuAndViewerMovementKeys) {
    EXPECT_EQ(Bytes("ArrowUp", "ArrowUp"), Ext(72));
    EXPECT_EQ(Bytes("ArrowDown", "ArrowDown"), Ext(80));
    EXPECT_EQ(Bytes("ArrowLeft", "ArrowLeft"), Ext(75));
    EXPECT_EQ(Bytes("ArrowRight", "ArrowRight"), Ext(77));
    EXPECT_EQ(Bytes("PageUp", "PageUp"), Ext(73));
    EXPECT_EQ(Bytes("PageDown", "PageDown"), Ext(81));
    EXPECT_EQ(Bytes("Home", "Home"), Ext(71));
    EXPECT_EQ(Bytes("End", "End"), Ext(79));
    EXPECT_EQ(Bytes("Delete", "Delete"), Ext(83));
}

TEST_F(WebKeys, KeypadWithAndWithoutNumLock) {
    // Num Lock off: the keypad's keys move, like the grey ones.
    EXPECT_EQ(Bytes("ArrowUp", "Numpad8"), Ext(72));
    EXPECT_EQ(Bytes("PageDown", "Numpad3"), Ext(81));
    EXPECT_EQ(Bytes("Home", "Numpad7"), Ext(71));
    EXPECT_EQ(Bytes("End", "Numpad1"), Ext(79));
    // Num Lock on: digits and the operators type their characters.
    EXPECT_EQ(Bytes("8", "Numpad8"), (std::vector<int>{'8'}));
    EXPECT_EQ(Bytes("0", "Numpad0"), (std::vector<int>{'0'}));
    EXPECT_EQ(Bytes("+", "NumpadAdd"), (std::vector<int>{'+'}));
    EXPECT_EQ(Bytes("-", "NumpadSubtract"), (std::vector<int>{'-'}));
    EXPECT_EQ(Bytes("*", "NumpadMultiply"), (std::vector<int>{'*'}));
    EXPECT_EQ(Bytes("/", "NumpadDivide"), (std::vector<int>{'/'}));
    EXPECT_EQ(Bytes("Enter", "NumpadEnter"), (std::vector<int>{13}));
}

TEST_F(WebKeys, FunctionKeysAndTheirModifiers) {
    EXPECT_EQ(Bytes("F1", "F1"), Ext(59));
    EXPECT_EQ(Bytes("F10", "F10"), Ext(68));
    EXPECT_EQ(Bytes("F11", "F11"), Ext(133));
    EXPECT_EQ(Bytes("F12", "F12"), Ext(134));
    EXPECT_EQ(Bytes("F1", "F1", kShift), Ext(84));
    EXPECT_EQ(Bytes("F1", "F1", kCtrl), Ext(94));
    EXPECT_EQ(Bytes("F1", "F1", kAlt), Ext(104));
    EXPECT_TRUE(Bytes("F13", "F13").empty());
    EXPECT_TRUE(Bytes("F0", "F0").empty());
}

TEST_F(WebKeys, ControlLettersOfTheViewer) {
    // Ctrl+F find, Ctrl+G again, Ctrl+S save, Ctrl+R reset, Ctrl+Y.
    EXPECT_EQ(Bytes("f", "KeyF", kCtrl), (std::vector<int>{6}));
    EXPECT_EQ(Bytes("g", "KeyG", kCtrl), (std::vector<int>{7}));
    EXPECT_EQ(Bytes("s", "KeyS", kCtrl), (std::vector<int>{19}));
    EXPECT_EQ(Bytes("r", "KeyR", kCtrl), (std::vector<int>{18}));
    EXPECT_EQ(Bytes("y", "KeyY", kCtrl), (std::vector<int>{25}));
    // Caps Lock or Shift held: still the control character.
    EXPECT_EQ(Bytes("S", "KeyS", kCtrl | kShift), (std::vector<int>{19}));
    EXPECT_EQ(Bytes("ArrowLeft", "ArrowLeft", kCtrl), Ext(115));
    EXPECT_EQ(Bytes("ArrowRight", "ArrowRight", kCtrl), Ext(116));
}

TEST_F(WebKeys, EditingKeysAndCharacters) {
    EXPECT_EQ(Bytes("Enter", "Enter"), (std::vector<int>{13}));
    EXPECT_EQ(Bytes("Escape", "Escape"), (std::vector<int>{27}));
    EXPECT_EQ(Bytes("Tab", "Tab"), (std::vector<int>{9}));
    EXPECT_EQ(Bytes("Backspace", "Backspace"), (std::vector<int>{8}));
    EXPECT_EQ(Bytes("t", "KeyT"), (std::vector<int>{'t'}));
    EXPECT_EQ(Bytes("X", "KeyX", kShift), (std::vector<int>{'X'}));
    EXPECT_EQ(Bytes("+", "Equal", kShift), (std::vector<int>{'+'}));
    EXPECT_EQ(Bytes("/", "Slash"), (std::vector<int>{'/'}));
    EXPECT_EQ(Bytes("*", "Digit8", kShift), (std::vector<int>{'*'}));
    EXPECT_EQ(Bytes(" ", "Space"), (std::vector<int>{' '}));
    // A letter of another keyboard: its code page 437 byte (0x84 is a with
    // diaeresis, 0xE1 sharp s).
    EXPECT_EQ(Bytes("\xC3\xA4", "Quote"), (std::vector<int>{0x84}));
    EXPECT_EQ(Bytes("\xC3\x9F", "Minus"), (std::vector<int>{0xE1}));
}

TEST_F(WebKeys, AltLettersAreExtendedCodes) {
    // Alt+X is 0, 45: the scan code of X.
    EXPECT_EQ(Bytes("x", "KeyX", kAlt), Ext(45));
    EXPECT_EQ(Bytes("t", "KeyT", kAlt), Ext(20));
}

TEST_F(WebKeys, KeysWithoutAMeaningGiveNothing) {
    for (std::string_view key : {"Shift", "Control", "Alt", "Meta", "CapsLock", "Dead", "Unidentified", "Process",
                                 "AudioVolumeUp", "\xE2\x82\xAC" /* euro sign */, ""})
        EXPECT_TRUE(Bytes(key, "").empty()) << key;
}
