// Key records turned into the key byte stream: ordinary keys, extended keys
// with their modifier groups, Alt+keypad numbers.
#include <gtest/gtest.h>

#include <vector>

#include "console_fixture.h"

using namespace conapi;

namespace {

class Keys : public ConsoleTest {
protected:
    // All key bytes the queued records produce.
    static std::vector<int> Drain() {
        std::vector<int> bytes;
        while (KeyPressed()) bytes.push_back(static_cast<unsigned char>(ReadKey()));
        return bytes;
    }
    static std::vector<int> Ext(int code) { return {0, code}; }
    static void Down(uint16_t vk, uint16_t scan, uint8_t ch, uint32_t state) {
        memcon::PushEvent(InputRecord{EventType::Key, true, vk, scan, ch, state});
    }
    static void Up(uint16_t vk, uint16_t scan, uint32_t state) {
        memcon::PushEvent(InputRecord{EventType::Key, false, vk, scan, 0, state});
    }
};

}  // namespace

TEST_F(Keys, ArrowsWithModifierGroups) {
    memcon::PressExtended(72);
    EXPECT_EQ(Drain(), Ext(72));
    memcon::PressExtended(72, LeftCtrlPressed);
    EXPECT_EQ(Drain(), Ext(141));
    memcon::PressExtended(72, LeftAltPressed);
    EXPECT_EQ(Drain(), Ext(152));
    memcon::PressExtended(72, ShiftPressed);
    EXPECT_EQ(Drain(), Ext(72));
    memcon::PressExtended(72, LeftAltPressed | LeftCtrlPressed);
    EXPECT_EQ(Drain(), Ext(152)) << "Alt wins over Ctrl";
}

TEST_F(Keys, FunctionKeys) {
    memcon::PressFunction(1);
    EXPECT_EQ(Drain(), Ext(59));
    memcon::PressFunction(1, ShiftPressed);
    EXPECT_EQ(Drain(), Ext(84));
    memcon::PressFunction(1, LeftCtrlPressed);
    EXPECT_EQ(Drain(), Ext(94));
    memcon::PressFunction(1, LeftAltPressed);
    EXPECT_EQ(Drain(), Ext(104));
    memcon::PressFunction(10);
    EXPECT_EQ(Drain(), Ext(68));
    memcon::PressFunction(11);
    EXPECT_EQ(Drain(), Ext(133));
    memcon::PressFunction(12);
    EXPECT_EQ(Drain(), Ext(134));
    memcon::PressFunction(12, ShiftPressed);
    EXPECT_EQ(Drain(), Ext(136));
    memcon::PressFunction(11, LeftCtrlPressed);
    EXPECT_EQ(Drain(), Ext(137));
    memcon::PressFunction(12, RightAltPressed);
    EXPECT_EQ(Drain(), Ext(140));
}

TEST_F(Keys, CtrlAndAltTablesOfTheCursorBlock) {
    const int scans[] = {71, 72, 73, 75, 77, 79, 80, 81, 82, 83};
    const int ctrl[] = {119, 141, 132, 115, 116, 117, 145, 118, 146, 147};
    const int alt[] = {151, 152, 153, 155, 157, 159, 160, 161, 162, 163};
    for (int i = 0; i < 10; ++i) {
        memcon::PressExtended(static_cast<uint16_t>(scans[i]), RightCtrlPressed);
        EXPECT_EQ(Drain(), Ext(ctrl[i])) << scans[i];
        memcon::PressExtended(static_cast<uint16_t>(scans[i]), LeftAltPressed);
        EXPECT_EQ(Drain(), Ext(alt[i])) << scans[i];
    }
}

TEST_F(Keys, AltLettersAndDigits) {
    Down('X', 45, 'x', LeftAltPressed);
    EXPECT_EQ(Drain(), Ext(45));
    Down('1', 2, '1', LeftAltPressed);
    EXPECT_EQ(Drain(), Ext(120));
    Down(0xBB, 13, '=', LeftAltPressed);
    EXPECT_EQ(Drain(), Ext(131));
    Down('5', 6, 0, LeftCtrlPressed);
    EXPECT_EQ(Drain(), Ext(6)) << "Ctrl with a main digit gives its scan code";
}

TEST_F(Keys, EnterIsThirteenWhateverTheModifiers) {
    memcon::PressEnter();
    EXPECT_EQ(Drain(), std::vector<int>{13});
    Down(13, 28, 13, EnhancedKey);  // keypad Enter
    EXPECT_EQ(Drain(), std::vector<int>{13});
    Down(13, 28, 13, LeftAltPressed);
    EXPECT_EQ(Drain(), std::vector<int>{13});
    Down(13, 28, 0, LeftAltPressed);
    EXPECT_EQ(Drain(), Ext(166)) << "only an Enter reported without its character";
}

TEST_F(Keys, KeypadKeys) {
    Down(0x6F, 53, '/', EnhancedKey);  // keypad slash
    EXPECT_EQ(Drain(), Ext(53));
    Down(0x0C, 76, 0, 0);  // keypad 5, Num Lock off
    EXPECT_EQ(Drain(), Ext(76));
    Down(0x6A, 55, 0, LeftCtrlPressed);
    EXPECT_EQ(Drain(), Ext(150));
    Down(0x09, 15, 0, LeftCtrlPressed);
    EXPECT_EQ(Drain(), Ext(148));
    Down(0x09, 15, 9, LeftCtrlPressed);
    EXPECT_EQ(Drain(), std::vector<int>{9}) << "Ctrl+Tab with its character is ordinary";
}

TEST_F(Keys, ModifiersAndLocksAloneGiveNothing) {
    for (uint16_t vk : {16, 17, 18, 20, 144, 145}) {
        Down(vk, 42, 0, 0);
        Up(vk, 42, 0);
    }
    memcon::PushEvent(InputRecord{EventType::Focus});
    EXPECT_EQ(Drain(), std::vector<int>{});
    EXPECT_EQ(memcon::QueuedEvents(), 0) << "the records were read and dropped";
}

TEST_F(Keys, AltKeypadNumbers) {
    Down(18, 56, 0, LeftAltPressed);
    Down(0x66, 77, 0, LeftAltPressed | NumLockOn);  // keypad 6
    Down(0x65, 76, 0, LeftAltPressed | NumLockOn);  // keypad 5
    Up(18, 56, 0);
    EXPECT_EQ(Drain(), (std::vector<int>{0, 157, 0, 76, 65}));

    Down(0x63, 81, 0, LeftAltPressed);  // keypad 3
    Down(0x60, 82, 0, LeftAltPressed);  // keypad 0
    Down(0x60, 82, 0, LeftAltPressed);
    Up(18, 56, 0);
    EXPECT_EQ(Drain(), (std::vector<int>{0, 161, 0, 162, 0, 162, 44})) << "300 modulo 256";
}

TEST_F(Keys, AltGrAndCtrlCharacters) {
    Down('Q', 16, '@', RightAltPressed | LeftCtrlPressed);
    EXPECT_EQ(Drain(), std::vector<int>{'@'});
    memcon::PressCtrl('c');
    EXPECT_EQ(Drain(), std::vector<int>{3});
}

TEST_F(Keys, TwoReadsOfOneExtendedKey) {
    memcon::PressExtended(75);
    EXPECT_EQ(ReadKey(), 0);
    EXPECT_EQ(ReadKey(), 75);
}

TEST_F(Keys, KeyPressedDoesNotWaitForFutureKeys) {
    memcon::TypeText("a", 5000);
    const uint32_t before = memcon::Now();
    EXPECT_FALSE(KeyPressed());
    EXPECT_LE(memcon::Now() - before, 1u) << "at most about a millisecond";
    EXPECT_EQ(ReadKey(), 'a');
    EXPECT_EQ(memcon::Now(), 5000u) << "ReadKey waits as long as needed";
}

TEST_F(Keys, AfterManyQuietAnswersAWaitOrAReadMakesTheNextCallAsk) {
    // A caller that asks again and again (the renderer, once per byte) is
    // answered from the ring for most calls; any wait or read in between
    // must make the very next KeyPressed ask the console.
    auto askOften = [] {
        for (int i = 0; i < 40; ++i) ASSERT_FALSE(KeyPressed());
    };
    memcon::TypeText("a", 10);
    askOften();
    Delay(20);
    EXPECT_TRUE(KeyPressed()) << "a key that came during Delay";
    EXPECT_EQ(ReadKey(), 'a');

    memcon::TypeText("bc", 100);
    askOften();
    EXPECT_EQ(ReadKey(), 'b') << "ReadKey waits for the key";
    EXPECT_TRUE(KeyPressed()) << "the key that came with it";
    EXPECT_EQ(ReadKey(), 'c');

    memcon::TypeText("d", 200);
    askOften();
    EXPECT_TRUE(DelayUntilKey(500));
    EXPECT_TRUE(KeyPressed());
    EXPECT_EQ(ReadKey(), 'd');
}

TEST_F(Keys, ReadKeyWithoutInputFailsTheTestInsteadOfHanging) { EXPECT_THROW(ReadKey(), memcon::InputExhausted); }
