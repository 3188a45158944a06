// The line editor and the YES/NO dialog, driven key by key on the memory
// console.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "console_fixture.h"
#include "key_script.h"
#include "widgets/prompts.h"

namespace {

constexpr int FieldCol = 10, FieldRow = 5;
constexpr Byte EditAttr = 0x1F, FillAttr = 0x17;

class Prompts : public ConsoleTest {
public:
    void SetUp() override {
        ConsoleTest::SetUp();
        EndKeys.assign(1, '\r');
        EndKeysExtended.clear();
    }
    void TearDown() override {
        EndKeys.assign(1, '\r');
        EndKeysExtended.clear();
        ConsoleTest::TearDown();
    }

    // Queues Keys, runs the editor on them and answers its result.
    static std::string Edit(const std::string& keys, int width, int maxLen, const std::string& initial, Byte mode = 1) {
        QueueKeys(keys);
        std::string result = "unchanged";
        InputLine(FieldCol, FieldRow, static_cast<Byte>(width), static_cast<Byte>(maxLen), mode, EditAttr, FillAttr,
                  '.', initial, result);
        return result;
    }

    static std::string Field(int width) { return memcon::RowText(FieldRow - 1).substr(FieldCol - 1, width); }

    // Runs the dialog at the callers' position on the queued keys.
    static bool Dialog(const std::string& keys, std::string& text, const std::string& title = "") {
        QueueKeys(keys);
        return InputDialog(15, 12, 67, 17, title, "p", text);
    }
};

// --- The line editor -----------------------------------------------------------

// Each case: the keys, the field and the text, and what the field shows
// afterwards with the cursor's offset from the field's first cell.
struct EditCase {
    std::string keys;
    int width, maxLen;
    std::string initial, result, field;
    int cursor;
};

void CheckEdits(const std::vector<EditCase>& cases) {
    for (const auto& c : cases) {
        const std::string what = "keys " + c.keys + " on \"" + c.initial + "\"";
        EXPECT_EQ(Prompts::Edit(c.keys, c.width, c.maxLen, c.initial), c.result) << what;
        EXPECT_EQ(Prompts::Field(c.width + 1).substr(0, c.field.size()), c.field) << what;
        EXPECT_EQ(WhereX(), FieldCol + c.cursor) << what;
    }
}

TEST_F(Prompts, ScrollingTheField) {
    const std::string alphabet = "abcdefghijklmnop";
    CheckEdits({
        // A long text opens with its end in view, the cursor just right of
        // the field; Home shows it from the start, End at its end again.
        {"<Enter>", 10, 40, alphabet, alphabet, "ghijklmnop", 10},
        {"<Home><Enter>", 10, 40, alphabet, alphabet, "abcdefghij", 0},
        {"<Home><End><Enter>", 10, 40, alphabet, alphabet, "ghijklmnop", 10},
        // As wide as the limit: no scrolling, the last character fills the
        // last cell and further characters are refused.
        {"abcdefg<Enter>", 5, 5, "", "abcde", "abcde", 5},
        // Narrower than the limit: the field follows the typing.
        {"abcdefg<Enter>", 5, 10, "", "abcdefg", "defg.", 4},
        // Right at the field's edge scrolls before moving; the insert
        // scrolls once more.
        {"<Home><Right><Right><Right><Right><Right><Right><Right><Right><Right><Right>X<Enter>", 10, 40, alphabet,
         "abcdefghijXklmnop", "cdefghijXk", 9},
        // Backspace in the first column scrolls left.
        {"<Left><Left><Left><Left><Left><BS><Enter>", 5, 40, "abcdefgh", "abdefgh", "defgh", 0},
    });
    EXPECT_EQ(GetTextAttr(), EditAttr) << "the edit colour stays in force";
    EXPECT_EQ(WhereY(), FieldRow);
}

TEST_F(Prompts, InsertAtTheEndWritesOneCellInTheMiddleTheTail) {
    uint64_t before = memcon::WriteCalls();
    EXPECT_EQ(Edit("x<Enter>", 10, 20, "abc"), "abcx");
    // Opening the field takes two writes (text and fill); the letter one.
    EXPECT_EQ(memcon::WriteCalls() - before, 3u);
    EXPECT_EQ(Field(10), "abcx......");
    EXPECT_EQ(At(FieldCol + 3, FieldRow), EditAttr);
    EXPECT_EQ(At(FieldCol + 4, FieldRow), FillAttr);

    before = memcon::WriteCalls();
    EXPECT_EQ(Edit("<Left>x<Enter>", 10, 20, "abc"), "abxc");
    EXPECT_EQ(memcon::WriteCalls() - before, 5u) << "the tail from the cursor is redrawn";
    EXPECT_EQ(Field(10), "abxc......");
    EXPECT_EQ(WhereX(), FieldCol + 3);
}

TEST_F(Prompts, InputModesFilterTypedCharacters) {
    struct Case {
        Byte mode;
        int maxLen;
        std::string initial, typed, expected;
    };
    const Case cases[] = {
        {0, 20, "", "a1-b2 ", "1-2"},        {1, 20, "", "a1-b2 ", "a1-b2 "},
        {1, 20, "", "\x82\xFF", "\x82"},  // 255 is no printable key
        {2, 20, "", "ab1Z", "AB1Z"},         {3, 20, "", "123456", "12/34/56"},
        {3, 20, "", "1a2x3", "12/3"},        {3, 8, "", "1234567", "12/34/56"},
        {3, 20, "12/3", "4", "12/34/"},  // position 5: the slash follows
        {3, 20, "12", "3", "12/3"},      // position 3: the slash comes first
        {3, 20, "12/34/5", "9", "12/34/59"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Edit(c.typed + "<Enter>", 20, c.maxLen, c.initial, c.mode), c.expected)
            << "mode " << int(c.mode) << " typing " << c.typed;
}

TEST_F(Prompts, WordMovement) {
    const std::string text = "one two three";
    CheckEdits({
        // Left: from the end to the last word, from a first letter to the
        // word before, from inside a word to its first letter, nothing at
        // the start.
        {"<C-Left>X<Enter>", 20, 40, text, "one two Xthree", "one two Xthree", 9},
        {"<C-Left><C-Left>X<Enter>", 20, 40, text, "one Xtwo three", "one Xtwo three", 5},
        {"<Home><Right><Right><Right><Right><Right><Right><C-Left>Y<Enter>", 20, 40, text, "one Ytwo three",
         "one Ytwo three", 5},
        {"<Home><C-Left>Q<Enter>", 20, 40, text, "Qone two three", "Qone two three", 1},
        // Right: just after the next space, or after the text.
        {"<Home><C-Right>Z<Enter>", 20, 40, text, "one Ztwo three", "one Ztwo three", 5},
        {"<Home><C-Right><C-Right>Z<Enter>", 20, 40, text, "one two Zthree", "one two Zthree", 9},
        {"<Home><C-Right><C-Right><C-Right>Z<Enter>", 20, 40, text, "one two threeZ", "one two threeZ", 14},
        // In a narrow field the field scrolls left to show the first letter.
        {"<C-Left>X<Enter>", 5, 40, text, "one two Xthree", " Xthr", 2},
    });
}

TEST_F(Prompts, EditingKeys) {
    CheckEdits({
        {"<BS><Enter>", 10, 20, "hello", "hell", "hell......", 4},
        {"<Left><Left><BS><Enter>", 10, 20, "hello", "helo", "helo......", 2},
        {"<Home><Del><Enter>", 10, 20, "hello", "ello", "ello......", 0},
        {"<C-y>ab<Enter>", 10, 20, "hello", "ab", "ab........", 2},
        // At the edges of the text these keys do nothing.
        {"<Home><BS><Left>x<Enter>", 10, 20, "hello", "xhello", "xhello....", 1},
        {"<Del><Right>x<Enter>", 10, 20, "hello", "hellox", "hellox....", 6},
    });
}

// A paste goes in as one line, as if its characters were typed at the
// cursor, cut where the field is full.
TEST_F(Prompts, APasteIsTypedAsOneLineAtTheCursor) {
    CheckEdits({
        {"<Paste:one\r\ntwo\nthree\rfour><Enter>", 30, 40, "", "one two three four", "one two three four", 18},
        {"<Left><Paste:bc\tx\x07><Enter>", 10, 20, "ad", "abc xd", "abc xd....", 5},
        // As wide as the limit: cut where the field is full.
        {"<Paste:abcdefgh><Enter>", 5, 5, "x", "xabcd", "xabcd", 5},
        {"<Home><Paste:12345><Enter>", 10, 6, "abc", "123abc", "123abc....", 3},
        // Narrower than the limit: the field scrolls as for typing.
        {"<Paste:abcdefg><Enter>", 5, 10, "", "abcdefg", "defg.", 4},
        // Typing goes on where the paste ended.
        {"<Paste:ab>c<Paste:d><Enter>", 10, 20, "", "abcd", "abcd......", 4},
    });
}

TEST_F(Prompts, APasteFollowsTheInputModeAndIsDrawnOnce) {
    EXPECT_EQ(Edit("<Paste:a1-b2 ><Enter>", 20, 20, "", 0), "1-2");
    EXPECT_EQ(Edit("<Paste:ab1Z\xc3\xa9><Enter>", 20, 20, "", 2), "AB1Z\x82");
    EXPECT_EQ(Edit("<Paste:123456><Enter>", 20, 20, "", 3), "12/34/56");
    EXPECT_EQ(Edit("<Paste:1a2x3><Enter>", 20, 20, "", 3), "12/3");

    const uint64_t before = memcon::WriteCalls();
    EXPECT_EQ(Edit("<Paste:" + std::string(30, 'p') + "><Enter>", 40, 40, ""), std::string(30, 'p'));
    // Opening the empty field takes one write (the fill), the paste two
    // (text and fill).
    EXPECT_EQ(memcon::WriteCalls() - before, 3u) << "drawn once, not once per character";
}

TEST_F(Prompts, OnlyTheEndKeysEndTheEditor) {
    EXPECT_EQ(Edit("a<Esc>b<Enter>", 10, 20, ""), "ab") << "Esc is ignored";

    EndKeys = "\x1b\r";
    EXPECT_EQ(Edit("a<Esc>b", 10, 20, ""), "a");
    EndKeys = "\r";
    EXPECT_EQ(Edit("<Enter>", 10, 20, ""), "b") << "the key after the end key is left for the next reader";

    EndKeysExtended = std::string(1, '\x44');  // F10
    EXPECT_EQ(Edit("c<F10>", 10, 20, ""), "c");
}

// --- The dialog ------------------------------------------------------------------

namespace {

// The dialog frame's five rows as stored: pipe codes, and code page 437
// characters in hexadecimal, "DFx4" for four of them.
const char* const kDialogRows[] = {
    "|15 DC DB DF DF |07 DF |15 DF |07 DF B2 DFx4 |08 DF |07 DF |08 DFx23 |07 DF |08 DFx4 20 DFx3 B1x2 DFx5 DB DC "
    "|07",
    "B2 |00 20 |07 DC DBx13 |00 |23 20x16 |07 |16 DBx19 DC |00 20 |08 DB |07",
    "|08 DB |00 20 |23 20x49 |07 |16 DB |00 20 |15 |23 DF |07 |16",
    "|08 DB |00 20 |07 DF DBx48 DF |00 20 |15 DB |07",
    "|08 DF DB DCx4 20 DC B2x2 DCx28 |07 DC |08 DCx2 |07 DC |08 DC |07 DC |00 |23 B0x2 |07 |16 DCx2 |15 DC |07 DC "
    "|15 DCx2 |00 |23 B0 |15 |16 DF |07",
};

struct ExpectedCell {
    Byte ch;
    Byte attr;
};

// The cells a stored row shows, starting with the colours in Attr (left
// as the row ends): |00-|15 set the foreground, |16-|23 the background.
std::vector<ExpectedCell> ExpandRow(const std::string& row, Byte& attr) {
    std::vector<ExpectedCell> cells;
    std::size_t i = 0;
    while (i < row.size()) {
        const std::size_t end = std::min(row.find(' ', i), row.size());
        const std::string token = row.substr(i, end - i);
        i = end + 1;
        if (token[0] == '|') {
            const int n = std::stoi(token.substr(1));
            attr = static_cast<Byte>(n < 16 ? (attr & 0xF0) | n : (attr & 0x0F) | ((n - 16) << 4));
            continue;
        }
        const Byte ch = static_cast<Byte>(std::stoi(token.substr(0, 2), nullptr, 16));
        const int count = token.size() > 2 ? std::stoi(token.substr(3)) : 1;
        for (int k = 0; k < count; ++k) cells.push_back({ch, attr});
    }
    return cells;
}

}  // namespace

TEST_F(Prompts, DialogFrameCellsAreTheStoredRows) {
    for (int y = 12; y <= 16; ++y) WriteXY(1, y, 0x99, std::string(80, 'm'));
    SetTextAttr(0x10);
    DrawDialogFrame(15, 12);
    Byte attr = 0x10;  // the first row takes its background from here
    const std::size_t widths[] = {55, 54, 54, 54, 54};
    for (int r = 0; r < 5; ++r) {
        const auto cells = ExpandRow(kDialogRows[r], attr);
        ASSERT_EQ(cells.size(), widths[r]) << "row " << r;
        for (std::size_t k = 0; k < cells.size(); ++k) {
            const int x = 15 + static_cast<int>(k);
            EXPECT_EQ(static_cast<Byte>(Ch(x, 12 + r)), cells[k].ch) << "row " << r << " column " << x;
            EXPECT_EQ(At(x, 12 + r), cells[k].attr) << "row " << r << " column " << x;
        }
        EXPECT_EQ(Ch(14, 12 + r), 'm') << "row " << r;
        EXPECT_EQ(Ch(15 + static_cast<int>(widths[r]), 12 + r), 'm') << "row " << r;
    }
    // WritePipe leaves the last colour and the cursor after the last row.
    EXPECT_EQ(GetTextAttr(), attr);
    EXPECT_EQ(GetTextAttr(), 0x07);
    EXPECT_EQ(WhereX(), 15 + 54);
    EXPECT_EQ(WhereY(), 16);
}

TEST_F(Prompts, DialogLayoutAndRestoredCursor) {
    GotoXY(5, 6);
    SetTextAttr(0x1E);
    QueueKeys("abc<Enter><Enter>");
    std::string text;
    EXPECT_TRUE(InputDialog(15, 12, 67, 17, " Find... ", "Enter word to find:", text));
    EXPECT_EQ(text, "abc");

    EXPECT_EQ(memcon::RowText(12).substr(17, 19), "Enter word to find:");
    EXPECT_EQ(At(18, 13), 0x7F);
    EXPECT_EQ(memcon::RowText(13).substr(17, 4), "abc\xB0");
    EXPECT_EQ(At(18, 14), 0x70);
    EXPECT_EQ(At(21, 14), 0x78);
    EXPECT_EQ(Ch(66, 14), '\xB0') << "the field ends in column 66";
    EXPECT_NE(Ch(67, 14), '\xB0');
    EXPECT_EQ(memcon::RowText(14).substr(35, 5), " YES ");
    EXPECT_EQ(memcon::RowText(14).substr(45, 4), " NO ");
    EXPECT_EQ(At(36, 15), 0x3F) << "YES is selected";
    EXPECT_EQ(At(46, 15), 0x78);
    // The title, centred in the top edge.
    EXPECT_EQ(memcon::RowText(11).substr(37, 9), " Find... ");
    EXPECT_EQ(At(38, 12), 0x70);

    EXPECT_EQ(WhereX(), 5);
    EXPECT_EQ(WhereY(), 6);
    EXPECT_EQ(GetTextAttr(), 0x1E);
}

TEST_F(Prompts, DialogHandsBackTheEditedTextOnNo) {
    std::string text = "old";
    EXPECT_FALSE(Dialog("<BS><BS><BS>new<Enter>n", text, " Save Article "));
    EXPECT_EQ(text, "new");
}

TEST_F(Prompts, DialogChoiceKeys) {
    const std::pair<std::string, bool> cases[] = {
        {"y", true},
        {"N", false},
        {"<Enter>", true},
        {"<Right><Enter>", false},
        {"<Right><Left><Enter>", true},
        {" <Enter>", false},
        {"  <Enter>", true},
        {"<Esc><Enter>", true},
        {"<Esc>x<Home>n", false},
    };
    for (const auto& [keys, yes] : cases) {
        std::string text;
        EXPECT_EQ(Dialog("t<Enter>" + keys, text), yes) << keys;
        // A key left unread would end the next case's editor early.
        EXPECT_EQ(text, "t") << keys;
    }
}

TEST_F(Prompts, DialogShowsTheSelectedButton) {
    std::string text;
    EXPECT_TRUE(Dialog("<Enter><Right>y", text));
    EXPECT_EQ(At(36, 15), 0x78);
    EXPECT_EQ(At(46, 15), 0x4F) << "NO was shown selected before Y answered";
}

TEST_F(Prompts, DialogIgnoresEscWhileEditingAndLimitsTheText) {
    std::string text;
    EXPECT_TRUE(Dialog("a<Esc>b<Enter><Enter>", text));
    EXPECT_EQ(text, "ab");

    text.clear();
    Dialog(std::string(60, 'x') + "<Enter><Enter>", text);
    EXPECT_EQ(text, std::string(49, 'x')) << "the field holds 49 characters";
}

// Pasted lines stay in the field: their line breaks neither end the editing
// nor answer the question, and a paste answers nothing.
TEST_F(Prompts, DialogTakesAPasteOfSeveralLinesAsText) {
    std::string text = "x";
    EXPECT_FALSE(Dialog("<Paste:A\nH\r\nT\rX\n><Enter>n", text));
    EXPECT_EQ(text, "xA H T X ");
    EXPECT_EQ(memcon::RowText(13).substr(17, 10), "xA H T X \xB0");

    text.clear();
    EXPECT_TRUE(Dialog("<Enter><Paste:n><Enter>", text)) << "a paste in the choice is ignored";

    text.clear();
    Dialog("<Paste:" + std::string(60, 'x') + "><Enter><Enter>", text);
    EXPECT_EQ(text, std::string(49, 'x')) << "cut at the field's 49 characters";
}

}  // namespace
