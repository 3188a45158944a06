// Terminal key decoding: the byte forms of xterm, VT220, the linux console
// and rxvt turned into console key records; split reads, the lone Esc,
// Alt+key, UTF-8 input, and garbage. The last group feeds decoded records
// through the keyboard object to check the key bytes the program reads.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/term_keys.h"
#include "console_fixture.h"

using conapi::InputRecord;
using termkeys::Decoder;

namespace {

constexpr uint32_t kShift = conapi::ShiftPressed;
constexpr uint32_t kCtrl = conapi::LeftCtrlPressed;
constexpr uint32_t kAlt = conapi::LeftAltPressed;
constexpr uint32_t kEnh = conapi::EnhancedKey;

struct Key {
    uint16_t vk;
    uint16_t scan;
    uint8_t ch;
    uint32_t state;
    bool operator==(const Key&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Key& k) {
    return os << "{vk " << k.vk << ", scan " << k.scan << ", ch " << int(k.ch) << ", state 0x" << std::hex << k.state
              << std::dec << "}";
}

std::vector<Key> ToKeys(const std::vector<InputRecord>& recs) {
    std::vector<Key> keys;
    for (const auto& r : recs) {
        EXPECT_TRUE(r.KeyDown);
        EXPECT_EQ(r.Type, conapi::EventType::Key);
        keys.push_back({r.VirtualKey, r.ScanCode, r.Char, r.ControlState});
    }
    return keys;
}

// Everything Bytes decode to, with the wait for more bytes passed at the end.
std::vector<Key> Keys(const std::string& bytes, bool utf8 = true) {
    Decoder d(utf8);
    std::vector<InputRecord> out;
    d.Feed(bytes, out);
    d.Expire(out);
    EXPECT_FALSE(d.Pending());
    return ToKeys(out);
}

Key One(const std::string& bytes) {
    const auto keys = Keys(bytes);
    EXPECT_EQ(keys.size(), 1u) << "for bytes of length " << bytes.size();
    return keys.empty() ? Key{} : keys.front();
}

const std::string ESC = "\x1b";

}  // namespace

// --- Plain bytes -----------------------------------------------------------

TEST(TermKeysPlain, LettersCarryTheirSet1ScanCodes) {
    const std::string rows[] = {"qwertyuiop", "asdfghjkl", "zxcvbnm"};
    const int first[] = {16, 30, 44};
    for (int r = 0; r < 3; ++r) {
        for (std::size_t i = 0; i < rows[r].size(); ++i) {
            const char c = rows[r][i];
            const uint16_t scan = static_cast<uint16_t>(first[r] + i);
            EXPECT_EQ(One(std::string(1, c)), (Key{uint16_t(c - 'a' + 'A'), scan, uint8_t(c), 0})) << c;
            const char up = static_cast<char>(c - 'a' + 'A');
            EXPECT_EQ(One(std::string(1, up)), (Key{uint16_t(up), scan, uint8_t(up), kShift})) << up;
        }
    }
}

TEST(TermKeysPlain, DigitsAndPunctuation) {
    const std::string digits = "1234567890";
    for (std::size_t i = 0; i < digits.size(); ++i)
        EXPECT_EQ(One(digits.substr(i, 1)), (Key{uint16_t(digits[i]), uint16_t(2 + i), uint8_t(digits[i]), 0}));
    EXPECT_EQ(One("-"), (Key{0xBD, 12, '-', 0}));
    EXPECT_EQ(One("="), (Key{0xBB, 13, '=', 0}));
    EXPECT_EQ(One("+"), (Key{0xBB, 13, '+', kShift}));
    EXPECT_EQ(One("!"), (Key{'1', 2, '!', kShift}));
    EXPECT_EQ(One(")"), (Key{'0', 11, ')', kShift}));
    EXPECT_EQ(One(" "), (Key{0x20, 57, ' ', 0}));
    EXPECT_EQ(One("/"), (Key{0xBF, 53, '/', 0}));
    EXPECT_EQ(One("?"), (Key{0xBF, 53, '?', kShift}));
    EXPECT_EQ(One("|"), (Key{0xDC, 43, '|', kShift}));
    EXPECT_EQ(One("~"), (Key{0xC0, 41, '~', kShift}));
    // Every printable ASCII byte is a key whose character is the byte.
    for (int c = 0x20; c < 0x7F; ++c) EXPECT_EQ(One(std::string(1, char(c))).ch, c);
}

TEST(TermKeysPlain, ControlBytes) {
    EXPECT_EQ(One("\r"), (Key{0x0D, 28, 13, 0}));
    EXPECT_EQ(One("\n"), (Key{0x0D, 28, 13, 0})) << "LF is Enter too";
    EXPECT_EQ(One("\t"), (Key{0x09, 15, 9, 0}));
    EXPECT_EQ(One("\x7f"), (Key{0x08, 14, 8, 0})) << "DEL is Backspace";
    EXPECT_EQ(One("\x08"), (Key{0x08, 14, 8, 0}));
    EXPECT_EQ(One("\x03"), (Key{'C', 46, 3, kCtrl})) << "Ctrl+C is a key";
    EXPECT_EQ(One(std::string(1, '\0')), (Key{'2', 3, 0, kCtrl}));
    for (int b = 1; b <= 26; ++b) {
        if (b == 8 || b == 9 || b == 10 || b == 13) continue;
        const Key k = One(std::string(1, char(b)));
        EXPECT_EQ(k.vk, 'A' + b - 1);
        EXPECT_EQ(k.ch, b);
        EXPECT_EQ(k.state, kCtrl);
        EXPECT_EQ(k.scan, One(std::string(1, char('a' + b - 1))).scan);
    }
}

// --- Cursor, edit and function keys ------------------------------------------

TEST(TermKeysSequences, CursorKeysInEveryForm) {
    const Key up{0x26, 72, 0, kEnh}, down{0x28, 80, 0, kEnh}, right{0x27, 77, 0, kEnh}, left{0x25, 75, 0, kEnh};
    const Key home{0x24, 71, 0, kEnh}, end{0x23, 79, 0, kEnh};
    for (const std::string intro : {"[", "O"}) {
        EXPECT_EQ(One(ESC + intro + "A"), up);
        EXPECT_EQ(One(ESC + intro + "B"), down);
        EXPECT_EQ(One(ESC + intro + "C"), right);
        EXPECT_EQ(One(ESC + intro + "D"), left);
        EXPECT_EQ(One(ESC + intro + "H"), home);
        EXPECT_EQ(One(ESC + intro + "F"), end);
    }
    // VT220 and rxvt.
    EXPECT_EQ(One(ESC + "[1~"), home);
    EXPECT_EQ(One(ESC + "[7~"), home);
    EXPECT_EQ(One(ESC + "[2~"), (Key{0x2D, 82, 0, kEnh}));
    EXPECT_EQ(One(ESC + "[3~"), (Key{0x2E, 83, 0, kEnh}));
    EXPECT_EQ(One(ESC + "[4~"), end);
    EXPECT_EQ(One(ESC + "[8~"), end);
    EXPECT_EQ(One(ESC + "[5~"), (Key{0x21, 73, 0, kEnh}));
    EXPECT_EQ(One(ESC + "[6~"), (Key{0x22, 81, 0, kEnh}));
}

TEST(TermKeysSequences, FunctionKeysInEveryForm) {
    auto fn = [](int n) { return Key{uint16_t(0x6F + n), uint16_t(n <= 10 ? 58 + n : 76 + n), 0, 0}; };
    EXPECT_EQ(One(ESC + "OP"), fn(1));
    EXPECT_EQ(One(ESC + "OQ"), fn(2));
    EXPECT_EQ(One(ESC + "OR"), fn(3));
    EXPECT_EQ(One(ESC + "OS"), fn(4));
    const int tilde[] = {11, 12, 13, 14, 15, 17, 18, 19, 20, 21, 23, 24};
    for (int i = 0; i < 12; ++i) EXPECT_EQ(One(ESC + "[" + std::to_string(tilde[i]) + "~"), fn(i + 1)) << i + 1;
    // linux console.
    for (int i = 0; i < 5; ++i) EXPECT_EQ(One(ESC + "[[" + char('A' + i)), fn(i + 1));
    EXPECT_EQ(fn(11).scan, 87);
    EXPECT_EQ(fn(12).scan, 88);
    EXPECT_EQ(fn(12).vk, 0x7B);
}

TEST(TermKeysSequences, XtermModifiers) {
    EXPECT_EQ(One(ESC + "[1;2A"), (Key{0x26, 72, 0, kEnh | kShift}));
    EXPECT_EQ(One(ESC + "[1;3A"), (Key{0x26, 72, 0, kEnh | kAlt}));
    EXPECT_EQ(One(ESC + "[1;5A"), (Key{0x26, 72, 0, kEnh | kCtrl}));
    EXPECT_EQ(One(ESC + "[1;6D"), (Key{0x25, 75, 0, kEnh | kCtrl | kShift}));
    EXPECT_EQ(One(ESC + "[1;7H"), (Key{0x24, 71, 0, kEnh | kCtrl | kAlt}));
    EXPECT_EQ(One(ESC + "[1;9C"), (Key{0x27, 77, 0, kEnh | kAlt})) << "Meta counts as Alt";
    EXPECT_EQ(One(ESC + "[5;5~"), (Key{0x21, 73, 0, kEnh | kCtrl}));
    EXPECT_EQ(One(ESC + "[3;2~"), (Key{0x2E, 83, 0, kEnh | kShift}));
    EXPECT_EQ(One(ESC + "[1;2P"), (Key{0x70, 59, 0, kShift}));
    EXPECT_EQ(One(ESC + "[1;5S"), (Key{0x73, 62, 0, kCtrl}));
    EXPECT_EQ(One(ESC + "[15;3~"), (Key{0x74, 63, 0, kAlt}));
    EXPECT_EQ(One(ESC + "[24;2~"), (Key{0x7B, 88, 0, kShift}));
    EXPECT_EQ(One(ESC + "O5P"), (Key{0x70, 59, 0, kCtrl})) << "older xterm: modifier inside SS3";
    EXPECT_EQ(One(ESC + "[Z"), (Key{0x09, 15, 9, kShift})) << "Shift+Tab";
}

TEST(TermKeysSequences, RxvtModifiers) {
    EXPECT_EQ(One(ESC + "[2$"), (Key{0x2D, 82, 0, kEnh | kShift}));
    EXPECT_EQ(One(ESC + "[7$"), (Key{0x24, 71, 0, kEnh | kShift}));
    EXPECT_EQ(One(ESC + "[5^"), (Key{0x21, 73, 0, kEnh | kCtrl}));
    EXPECT_EQ(One(ESC + "[8^"), (Key{0x23, 79, 0, kEnh | kCtrl}));
    EXPECT_EQ(One(ESC + "[3@"), (Key{0x2E, 83, 0, kEnh | kCtrl | kShift}));
    EXPECT_EQ(One(ESC + "Oa"), (Key{0x26, 72, 0, kEnh | kCtrl}));
    EXPECT_EQ(One(ESC + "Od"), (Key{0x25, 75, 0, kEnh | kCtrl}));
    EXPECT_EQ(One(ESC + "[b"), (Key{0x28, 80, 0, kEnh | kShift}));
    EXPECT_EQ(One(ESC + "[c"), (Key{0x27, 77, 0, kEnh | kShift}));
    EXPECT_EQ(One(ESC + ESC + "[A"), (Key{0x26, 72, 0, kEnh | kAlt})) << "rxvt's Alt+Up";
}

TEST(TermKeysSequences, RxvtAndLinuxConsoleShiftFunctionKeys) {
    // Shift+F3..F10 have numbers of their own: 25 26 28 29 31 32 33 34.
    const int codes[] = {25, 26, 28, 29, 31, 32, 33, 34};
    for (int i = 0; i < 8; ++i) {
        const int n = i + 3;
        EXPECT_EQ(One(ESC + "[" + std::to_string(codes[i]) + "~"),
                  (Key{uint16_t(0x6F + n), uint16_t(58 + n), 0, kShift}))
            << "Shift+F" << n;
    }
    EXPECT_TRUE(Keys(ESC + "[27~").empty());
    EXPECT_TRUE(Keys(ESC + "[30~").empty());
    EXPECT_TRUE(Keys(ESC + "[35~").empty());
}

TEST(TermKeysSequences, KeypadInApplicationMode) {
    EXPECT_EQ(One(ESC + "OM"), (Key{0x0D, 28, 13, kEnh}));
    EXPECT_EQ(One(ESC + "Oo"), (Key{0x6F, 53, '/', kEnh}));
    EXPECT_EQ(One(ESC + "Oj"), (Key{0x6A, 55, '*', 0}));
    EXPECT_EQ(One(ESC + "Op"), (Key{0x60, 82, '0', 0}));
    EXPECT_EQ(One(ESC + "Oy"), (Key{0x69, 73, '9', 0}));
    EXPECT_EQ(One(ESC + "[E"), (Key{0x0C, 76, 0, 0})) << "keypad 5 without Num Lock";
}

// --- Esc, Alt and split reads ---------------------------------------------------

TEST(TermKeysTiming, LoneEscWaitsForTheCallerToExpireIt) {
    Decoder d;
    std::vector<InputRecord> out;
    d.Feed(ESC, out);
    EXPECT_TRUE(out.empty()) << "an ESC may still begin a sequence";
    EXPECT_TRUE(d.Pending());
    d.Expire(out);
    EXPECT_EQ(ToKeys(out), (std::vector<Key>{{0x1B, 1, 27, 0}}));
    EXPECT_FALSE(d.Pending());
}

TEST(TermKeysTiming, EscThenKeyWithinTheWaitIsAltKey) {
    Decoder d;
    std::vector<InputRecord> out;
    d.Feed(ESC, out);
    d.Feed("x", out);
    EXPECT_EQ(ToKeys(out), (std::vector<Key>{{'X', 45, 'x', kAlt}}));
    EXPECT_EQ(One(ESC + "X"), (Key{'X', 45, 'X', kAlt | kShift}));
    EXPECT_EQ(One(ESC + "1"), (Key{'1', 2, '1', kAlt}));
    EXPECT_EQ(One(ESC + "\r"), (Key{0x0D, 28, 13, kAlt}));
    EXPECT_EQ(One(ESC + "\x7f"), (Key{0x08, 14, 8, kAlt}));
}

TEST(TermKeysTiming, EscThenKeyAfterTheWaitIsTwoKeys) {
    Decoder d;
    std::vector<InputRecord> out;
    d.Feed(ESC, out);
    d.Expire(out);
    d.Feed("x", out);
    EXPECT_EQ(ToKeys(out), (std::vector<Key>{{0x1B, 1, 27, 0}, {'X', 45, 'x', 0}}));
}

TEST(TermKeysTiming, UnfinishedIntroducersAfterTheWait) {
    EXPECT_EQ(Keys(ESC + "["), (std::vector<Key>{{0xDB, 26, '[', kAlt}}));
    EXPECT_EQ(Keys(ESC + "O"), (std::vector<Key>{{'O', 24, 'O', kAlt | kShift}}));
    EXPECT_EQ(Keys(ESC + ESC), (std::vector<Key>{{0x1B, 1, 27, 0}, {0x1B, 1, 27, 0}}));
    EXPECT_TRUE(Keys(ESC + "[1;").empty()) << "a broken sequence types nothing";
    EXPECT_TRUE(Keys("\xc3").empty());
}

TEST(TermKeysTiming, EverySequenceSplitAtEveryByte) {
    const std::vector<std::pair<std::string, Key>> cases = {
        {ESC + "[1;5A", {0x26, 72, 0, kEnh | kCtrl}},
        {ESC + "[15;2~", {0x74, 63, 0, kShift}},
        {ESC + "OP", {0x70, 59, 0, 0}},
        {ESC + "[[B", {0x71, 60, 0, 0}},
        {ESC + ESC + "[B", {0x28, 80, 0, kEnh | kAlt}},
        {"\xe2\x96\x91", {0, 0, 0xB0, 0}},  // U+2591 light shade
    };
    for (const auto& [bytes, want] : cases) {
        Decoder d;
        std::vector<InputRecord> out;
        for (char c : bytes) {
            EXPECT_TRUE(out.empty());
            d.Feed(std::string(1, c), out);
        }
        ASSERT_EQ(ToKeys(out), std::vector<Key>{want});
        EXPECT_FALSE(d.Pending());
    }
}

// --- The input path with its clock: reads split anywhere, gaps of any length ----------

namespace {

constexpr uint64_t kMsNs = 1'000'000;
constexpr uint64_t kWaitNs = termkeys::kEscWaitMs * kMsNs;

// What the terminal's input loop does with Bytes cut at Cut and the second
// piece arriving GapNs after the first: it looks at the clock before each
// read (that time is older than the bytes it then reads) and after it, and
// resolves unfinished input whenever it is due.
std::vector<Key> SplitRead(const std::string& bytes, std::size_t cut, uint64_t gapNs) {
    termkeys::KeyInput input;
    std::vector<InputRecord> out;
    const uint64_t t0 = 1000 * kMsNs;
    input.ExpireIfDue(t0 - kMsNs, out);
    input.Feed(bytes.substr(0, cut), t0, out);
    input.ExpireIfDue(t0 - 1, out);  // the time read before this read
    input.ExpireIfDue(t0, out);
    // The loop wakes when the wait is over, or when the rest comes.
    const int due = input.MsUntilDue(t0);
    if (due >= 0 && static_cast<uint64_t>(due) * kMsNs <= gapNs) input.ExpireIfDue(t0 + due * kMsNs, out);
    input.ExpireIfDue(t0 + gapNs - 1, out);
    input.Feed(bytes.substr(cut), t0 + gapNs, out);
    input.ExpireIfDue(t0 + gapNs, out);
    input.ExpireIfDue(t0 + gapNs + kWaitNs, out);
    EXPECT_FALSE(input.Pending());
    return ToKeys(out);
}

const std::vector<std::string> kSequences = {
    ESC + "[B", ESC + "OA", ESC + "[1;5A", ESC + "[15;2~", ESC + "[[B", ESC + ESC + "[B", ESC + "[25~", ESC + "Oo",
};

}  // namespace

TEST(TermKeysTiming, ATimeReadBeforeTheBytesNeverExpiresThem) {
    termkeys::KeyInput input;
    std::vector<InputRecord> out;
    input.Feed(ESC, 5000 * kMsNs, out);
    input.ExpireIfDue(4999 * kMsNs, out);
    input.ExpireIfDue(5000 * kMsNs + kWaitNs - 1, out);
    EXPECT_TRUE(out.empty()) << "expired before its wait was over";
    EXPECT_EQ(input.MsUntilDue(4999 * kMsNs), termkeys::kEscWaitMs + 1);
    EXPECT_EQ(input.MsUntilDue(5000 * kMsNs + 1), termkeys::kEscWaitMs);
    input.Feed("[", 5010 * kMsNs, out);
    input.ExpireIfDue(5000 * kMsNs + kWaitNs, out);
    EXPECT_TRUE(out.empty()) << "the wait runs from the last bytes";
    input.Feed("B", 5055 * kMsNs, out);
    EXPECT_EQ(ToKeys(out), (std::vector<Key>{{0x28, 80, 0, kEnh}}));
    EXPECT_EQ(input.MsUntilDue(6000 * kMsNs), -1) << "nothing waits";
}

// The input loop may be late to wake (a busy machine): bytes read after the
// wait for an ESC's sequence is over are a key of their own, however late
// the loop looked at the clock.
TEST(TermKeysTiming, BytesReadAfterTheWaitAreAKeyOfTheirOwn) {
    termkeys::KeyInput input;
    std::vector<InputRecord> out;
    input.Feed(ESC, 7000 * kMsNs, out);
    input.Feed("x", 7000 * kMsNs + kWaitNs, out);
    EXPECT_EQ(ToKeys(out), (std::vector<Key>{{0x1B, 1, 27, 0}, {'X', 45, 'x', 0}})) << "Esc, then x, not Alt+x";
    out.clear();
    input.Feed(ESC, 8000 * kMsNs, out);
    input.Feed("x", 8000 * kMsNs + kWaitNs - kMsNs, out);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_NE(out[0].ControlState & conapi::LeftAltPressed, 0u) << "within the wait: Alt+x";
}

TEST(TermKeysTiming, SplitAtEveryByteWithinTheWaitIsTheSameKey) {
    for (const std::string& seq : kSequences) {
        const auto whole = Keys(seq);
        ASSERT_EQ(whole.size(), 1u);
        for (std::size_t cut = 1; cut < seq.size(); ++cut)
            for (uint64_t gap : {uint64_t{0}, 15 * kMsNs, kWaitNs - kMsNs}) {
                const auto keys = SplitRead(seq, cut, gap);
                EXPECT_EQ(keys, whole) << "sequence " << seq.substr(1) << " cut at " << cut << " gap " << gap / kMsNs;
            }
    }
}

TEST(TermKeysTiming, SplitAtEveryByteAfterTheWaitIsTwoSeparateInputs) {
    // Past the wait the first piece stands on its own: a lone ESC is the
    // Esc key, and the rest is what its bytes say by themselves.
    for (const std::string& seq : kSequences)
        for (std::size_t cut = 1; cut < seq.size(); ++cut)
            for (uint64_t gap : {kWaitNs, 200 * kMsNs}) {
                auto expected = Keys(seq.substr(0, cut));
                const auto rest = Keys(seq.substr(cut));
                expected.insert(expected.end(), rest.begin(), rest.end());
                EXPECT_EQ(SplitRead(seq, cut, gap), expected) << "sequence " << seq.substr(1) << " cut at " << cut;
            }
    EXPECT_EQ(SplitRead(ESC + "[B", 1, 200 * kMsNs).front(), (Key{0x1B, 1, 27, 0}));
}

TEST(TermKeysTiming, KeysBackToBackInOneRead) {
    const auto keys = Keys("a" + ESC + "[A" + ESC + "OQ\r" + ESC + "[3~b");
    ASSERT_EQ(keys.size(), 6u);
    EXPECT_EQ(keys[0].ch, 'a');
    EXPECT_EQ(keys[1].vk, 0x26);
    EXPECT_EQ(keys[2].vk, 0x71);
    EXPECT_EQ(keys[3].ch, 13);
    EXPECT_EQ(keys[4].vk, 0x2E);
    EXPECT_EQ(keys[5].ch, 'b');
}

// --- 8-bit input ----------------------------------------------------------------

TEST(TermKeysUtf8, CharactersBecomeTheirCodePage437Byte) {
    EXPECT_EQ(One("\xc3\xa9").ch, 0x82);      // e acute
    EXPECT_EQ(One("\xc3\x87").ch, 0x80);      // C cedilla
    EXPECT_EQ(One("\xe2\x96\x88").ch, 0xDB);  // full block
    EXPECT_EQ(One("\xc2\xa0").ch, 0xFF);      // no-break space
    EXPECT_EQ(One("\xe2\x8c\x82").ch, 0x7F);  // house
    EXPECT_EQ(One(ESC + "\xc3\xa9"), (Key{0, 0, 0x82, kAlt}));
}

TEST(TermKeysUtf8, CharactersWithoutAGlyphAndBrokenBytesAreDropped) {
    EXPECT_TRUE(Keys("\xe2\x82\xac").empty());      // euro sign
    EXPECT_TRUE(Keys("\xf0\x9f\x98\x80").empty());  // an emoji
    EXPECT_TRUE(Keys("\x80\xbf\xff\xfe\xc0\xc1").empty());
    const auto keys = Keys("\xc3"
                           "a");
    ASSERT_EQ(keys.size(), 1u) << "a lead byte without its continuation";
    EXPECT_EQ(keys[0].ch, 'a');
}

TEST(TermKeysUtf8, RawBytesWhenTheTerminalIsNotUtf8) {
    const auto keys = Keys("\x82\xdb", false);
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[0], (Key{0, 0, 0x82, 0}));
    EXPECT_EQ(keys[1].ch, 0xDB);
}

// --- Garbage -----------------------------------------------------------------------

TEST(TermKeysGarbage, UnknownSequencesAreConsumedWhole) {
    // A stray paste end marker is one of them; the start marker is not
    // (see the paste tests).
    for (const std::string& junk : {ESC + "[99~", ESC + "[?1;2c", ESC + "[201~", ESC + "[1;2;3;4X", ESC + "[>0;1c",
                                    ESC + "[12 q", ESC + "Oz", ESC + "[[z", ESC + "[@"}) {
        EXPECT_EQ(Keys(junk + "k"), (std::vector<Key>{{'K', 37, 'k', 0}})) << "after " << junk.substr(1);
    }
}

TEST(TermKeysGarbage, AControlByteBreaksASequenceOff) {
    EXPECT_EQ(Keys(ESC + "[1;\x03"), (std::vector<Key>{{'C', 46, 3, kCtrl}}));
    EXPECT_EQ(Keys(ESC + "[\r"), (std::vector<Key>{{0x0D, 28, 13, 0}}));
    EXPECT_EQ(Keys(ESC + "[1" + ESC + "[B"), (std::vector<Key>{{0x28, 80, 0, kEnh}}));
}

TEST(TermKeysGarbage, AnOverLongSequenceIsDroppedWholeOrSplit) {
    // Over-long parameters name no key, read whole or a byte at a time.
    // The second has an intermediate byte among its parameters.
    for (const std::string& longOne : {ESC + "[::::::::::" + std::string(40, '6') + ";5A",
                                       ESC + "[" + std::string(40, ':') + ")" + std::string(30, ':') + "1P"}) {
        EXPECT_EQ(Keys(longOne + "k"), (std::vector<Key>{{'K', 37, 'k', 0}}));
        Decoder d;
        std::vector<InputRecord> out;
        for (char c : longOne + "k") d.Feed(std::string(1, c), out);
        d.Expire(out);
        EXPECT_EQ(ToKeys(out), (std::vector<Key>{{'K', 37, 'k', 0}}));
    }
}

TEST(TermKeysGarbage, AnEndlessSequenceKeepsMemoryBoundedAndTypesNothing) {
    Decoder d;
    std::vector<InputRecord> out;
    d.Feed(ESC + "[", out);
    for (int i = 0; i < 100000; ++i) {
        d.Feed(i % 2 ? ";" : "7", out);
        ASSERT_LE(d.PendingBytes(), 40u);
    }
    d.Feed("~q", out);
    EXPECT_EQ(ToKeys(out), (std::vector<Key>{{'Q', 16, 'q', 0}}));
}

// --- Bracketed paste ---------------------------------------------------------------

namespace {

const std::string kStart = ESC + "[200~";
const std::string kEnd = ESC + "[201~";

// What records decode to: the text of each paste (its characters, ended by
// the closing record) and the keys, in order, as "paste:..." and "key:c".
std::vector<std::string> Events(const std::vector<InputRecord>& recs) {
    std::vector<std::string> events;
    std::string text;
    bool inPaste = false;
    for (const auto& r : recs) {
        if (r.Type == conapi::EventType::Paste) {
            if (r.KeyDown) {
                text.push_back(static_cast<char>(r.Char));
                inPaste = true;
            } else {
                events.push_back("paste:" + text);
                text.clear();
                inPaste = false;
            }
            continue;
        }
        EXPECT_FALSE(inPaste) << "a key among the characters of a paste";
        EXPECT_EQ(r.Type, conapi::EventType::Key);
        events.push_back("key:" + std::string(1, static_cast<char>(r.Char)));
    }
    EXPECT_FALSE(inPaste) << "a paste without its closing record";
    return events;
}

std::vector<std::string> Decoded(const std::vector<std::string>& reads, bool utf8 = true) {
    Decoder d(utf8);
    std::vector<InputRecord> out;
    for (const std::string& r : reads) d.Feed(r, out);
    d.Expire(out);
    EXPECT_FALSE(d.Pending());
    return Events(out);
}

using Ev = std::vector<std::string>;

}  // namespace

TEST(TermKeysPaste, TextBecomesOneLineAndNothingOfItIsAKey) {
    // Line breaks of every kind and tabs are one space each; other control
    // bytes, and escape sequences inside the text, type nothing.
    EXPECT_EQ(Decoded({kStart + "A\rH\nT\r\nX" + kEnd}), (Ev{"paste:A H T X"}));
    const std::string controls = std::string("a\tb\x07") + "c\x7f\x03" + "d\r\re";
    EXPECT_EQ(Decoded({kStart + controls + kEnd}), (Ev{"paste:a bcd  e"}));
    EXPECT_EQ(Decoded({kStart + "x" + ESC + "[Ay" + ESC + "q" + kEnd}), (Ev{"paste:x[Ayq"}));
    EXPECT_EQ(Decoded({kStart + kEnd}), Ev{}) << "an empty paste makes nothing";
    EXPECT_EQ(Decoded({"a" + kStart + "b" + kEnd + "c" + kStart + "d" + kEnd}),
              (Ev{"key:a", "paste:b", "key:c", "paste:d"}));
}

TEST(TermKeysPaste, Utf8InsideAPasteAndRawBytesWithoutUtf8) {
    // e acute, light shade, euro sign (no code page 437 form), a broken lead.
    EXPECT_EQ(Decoded({kStart + "\xc3\xa9\xe2\x96\x91\xe2\x82\xac\xc3z" + kEnd}), (Ev{"paste:\x82\xb0z"}));
    EXPECT_EQ(Decoded({kStart + "\x82\xdb" + kEnd}, false), (Ev{"paste:\x82\xdb"}));
}

TEST(TermKeysPaste, SplitAtEveryBytePositionIsTheSamePaste) {
    // Cut inside the start marker, a UTF-8 character, a CR LF and the end
    // marker; the key after the paste is a key again.
    const std::string bytes = kStart + "one\r\ntw\xc3\xa9" + kEnd + "k";
    const Ev want = {"paste:one tw\x82", "key:k"};
    for (std::size_t cut = 1; cut < bytes.size(); ++cut)
        EXPECT_EQ(Decoded({bytes.substr(0, cut), bytes.substr(cut)}), want) << "cut at " << cut;
    std::vector<std::string> single;
    for (char c : bytes) single.emplace_back(1, c);
    EXPECT_EQ(Decoded(single), want) << "one byte a read";
}

TEST(TermKeysPaste, AnOverLongPasteIsCutButStillEnded) {
    Decoder d;
    std::vector<InputRecord> out;
    d.Feed(kStart, out);
    const std::string block(1000, 'a');
    for (int i = 0; i < 10; ++i) {
        d.Feed(block, out);
        ASSERT_LE(d.PendingBytes(), 8u);
    }
    d.Feed(kEnd.substr(0, 3), out);
    d.Feed(kEnd.substr(3) + "k", out);
    EXPECT_FALSE(d.Pending());
    EXPECT_EQ(Events(out), (Ev{"paste:" + std::string(4096, 'a'), "key:k"}));
}

TEST(TermKeysPaste, APasteThatNeverEndsIsReleasedAfterItsWait) {
    constexpr uint64_t t0 = 1000 * kMsNs;
    termkeys::KeyInput input;
    std::vector<InputRecord> out;
    input.Feed(kStart + "ab", t0, out);
    input.Feed("c" + ESC + "[20", t0 + 300 * kMsNs, out);
    // Far longer than the Esc wait: a slow link sends the paste in pieces.
    input.ExpireIfDue(t0 + 300 * kMsNs + kWaitNs, out);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(input.MsUntilDue(t0 + 300 * kMsNs), 1000) << "the loop must wake for the paste";
    input.ExpireIfDue(t0 + 1300 * kMsNs - 1, out);
    EXPECT_TRUE(out.empty());
    input.ExpireIfDue(t0 + 1300 * kMsNs, out);
    EXPECT_EQ(Events(out), (Ev{"paste:abc"})) << "the cut-off end marker types nothing";
    EXPECT_FALSE(input.Pending());
    out.clear();
    // The keys live again; the end marker, coming late, is dropped.
    input.Feed("1~x", t0 + 1400 * kMsNs, out);
    EXPECT_EQ(Events(out), (Ev{"key:1", "key:~", "key:x"}));
    out.clear();
    input.Feed(kEnd + "y", t0 + 1500 * kMsNs, out);
    EXPECT_EQ(Events(out), (Ev{"key:y"}));

    // Bytes read after the wait end the paste before they are decoded.
    out.clear();
    input.Feed(kStart + "p", t0 + 5000 * kMsNs, out);
    input.Feed("q", t0 + 6000 * kMsNs, out);
    EXPECT_EQ(Events(out), (Ev{"paste:p", "key:q"}));
}

// --- Through the keyboard object: the bytes the program reads -----------------------

namespace {

class TerminalKeyBytes : public ConsoleTest {
protected:
    // The key bytes that typing Bytes on a terminal gives the program.
    static std::vector<int> Typed(const std::string& bytes) {
        Decoder d;
        std::vector<InputRecord> recs;
        d.Feed(bytes, recs);
        d.Expire(recs);
        for (const auto& r : recs) memcon::PushEvent(r);
        std::vector<int> got;
        while (KeyPressed()) got.push_back(static_cast<unsigned char>(ReadKey()));
        return got;
    }
    static std::vector<int> Ext(int code) { return {0, code}; }
};

}  // namespace

TEST_F(TerminalKeyBytes, ExtendedKeysGetTheirPcCodes) {
    EXPECT_EQ(Typed(ESC + "[A"), Ext(72));
    EXPECT_EQ(Typed(ESC + "[1;5A"), Ext(141));
    EXPECT_EQ(Typed(ESC + "[1;3A"), Ext(152));
    EXPECT_EQ(Typed(ESC + "[1;2A"), Ext(72));
    EXPECT_EQ(Typed(ESC + "OP"), Ext(59));
    EXPECT_EQ(Typed(ESC + "[1;2P"), Ext(84));
    EXPECT_EQ(Typed(ESC + "[11;5~"), Ext(94));
    EXPECT_EQ(Typed(ESC + "[[A"), Ext(59));
    EXPECT_EQ(Typed(ESC + "[24~"), Ext(134));
    EXPECT_EQ(Typed(ESC + "[5^"), Ext(132));
    EXPECT_EQ(Typed(ESC + "[3~"), Ext(83));
    EXPECT_EQ(Typed(ESC + "Oo"), Ext(53)) << "keypad slash";
    EXPECT_EQ(Typed(ESC + "[25~"), Ext(86)) << "Shift+F3";
    EXPECT_EQ(Typed(ESC + "[34~"), Ext(93)) << "Shift+F10";
}

TEST_F(TerminalKeyBytes, TheApplicationKeypadStillTypesDigitsAndEnter) {
    EXPECT_EQ(Typed(ESC + "Op" + ESC + "Oq" + ESC + "Ou" + ESC + "Oy"), (std::vector<int>{'0', '1', '5', '9'}));
    EXPECT_EQ(Typed(ESC + "OM"), std::vector<int>{13});
    EXPECT_EQ(Typed(ESC + "Ok" + ESC + "Om" + ESC + "Oj" + ESC + "On"), (std::vector<int>{'+', '-', '*', '.'}));
}

TEST_F(TerminalKeyBytes, OrdinaryKeysAndAlt) {
    EXPECT_EQ(Typed("aZ\r\t\x7f"), (std::vector<int>{'a', 'Z', 13, 9, 8}));
    EXPECT_EQ(Typed("\x03"), std::vector<int>{3});
    EXPECT_EQ(Typed(ESC), std::vector<int>{27});
    EXPECT_EQ(Typed(ESC + "[Z"), std::vector<int>{9}) << "Shift+Tab is Tab";
    EXPECT_EQ(Typed(ESC + "x"), Ext(45));
    EXPECT_EQ(Typed(ESC + "1"), Ext(120));
    EXPECT_EQ(Typed(ESC + "\r"), std::vector<int>{13}) << "Enter with Alt is still 13";
    EXPECT_EQ(Typed("\xc3\xa9"), std::vector<int>{0x82});
}

TEST_F(TerminalKeyBytes, APasteIsNoKeysWhereNoFieldTakesIt) {
    EXPECT_EQ(Typed(kStart + "yes\rAHTX\x1b" + kEnd + "x"), std::vector<int>{'x'});
    EXPECT_TRUE(PastedText().empty());
}

TEST_F(TerminalKeyBytes, AFieldTakesAPasteAsOneKeyWithItsText) {
    const PasteField field;
    EXPECT_EQ(Typed(kStart + "two\nlines" + kEnd), Ext(250));
    EXPECT_EQ(PastedText(), "two lines");
    // The middle dot typed is the character 250: an ordinary key, no paste.
    EXPECT_EQ(Typed("\xc2\xb7"), std::vector<int>{250});
    EXPECT_TRUE(PastedText().empty()) << "the text went with the next key byte";
    EXPECT_EQ(Typed(kStart + "b" + kEnd), Ext(250));
    EXPECT_EQ(PastedText(), "b") << "each paste has its own text";
}

TEST_F(TerminalKeyBytes, APasteIgnoredOnceIsNeverDeliveredLater) {
    EXPECT_EQ(Typed(kStart + "early" + kEnd), std::vector<int>{});
    const PasteField field;
    EXPECT_EQ(Typed("z"), std::vector<int>{'z'});
    EXPECT_TRUE(PastedText().empty());
}
