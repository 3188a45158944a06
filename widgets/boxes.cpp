// Framed boxes and the raised panel: light and dark edges give the flat text
// screen a three-dimensional look.
#include "widgets/boxes.h"

const std::array<std::string, 9> FrameStyles = {
    "",                                  // unused: styles are numbered from 1
    "\xDA\xC4\xBF\xB3\xB3\xC0\xC4\xD9",  // single line
    "\xC9\xCD\xBB\xBA\xBA\xC8\xCD\xBC",  // double line
    "\xD6\xC4\xB7\xBA\xBA\xD3\xC4\xBD",  // double vertical, single horizontal
    "\xD5\xCD\xB8\xB3\xB3\xD4\xCD\xBE",  // single vertical, double horizontal
    "\xDB\xDF\xDB\xDB\xDB\xDB\xDC\xDB",  // solid block, half-block top and bottom edges
    "\xDB\xDF\xDC\xDB\xDB\xDF\xDC\xDB",  // solid block, half-block corners
    "        ",                          // blank
    ".-.||`-'",                          // plain ASCII
};

namespace {

// The eight characters of a frame style, in table order.
struct FrameChars {
    char TL, T, TR, L, R, BL, B, BR;
};

// Styles outside 1..8 are not used by the program; they draw single lines
// rather than read past the table.
FrameChars CharsOf(Byte style) {
    const std::string& s = FrameStyles[(style >= 1 && style <= 8) ? style : 1];
    return {s[0], s[1], s[2], s[3], s[4], s[5], s[6], s[7]};
}

std::string One(char ch) { return std::string(1, ch); }

// One character, then Count of another. Appended in place: GCC 12 takes the
// sum of two temporary strings for an overlapping copy and warns.
std::string OneThenRun(char first, char fill, int count) {
    std::string run = One(first);
    run += RepeatChar(fill, count);
    return run;
}

// Rewrites a run of cells with the characters they show and the shadow's
// attribute; cells beyond column 80 or row 25 are clipped by WriteXY.
void ShadeRun(int x1, int x2, int y, Byte attr) {
    std::string chars;
    for (int x = x1; x <= x2; ++x) chars += CharAt(x, y);
    WriteXY(x1, y, attr, chars);
}

// WriteXY for a text that may start left of column 1: the part that falls
// off the screen's left edge is cut, as the right edge is.
void WriteFromColumn(int col, int row, Byte attr, const std::string& text) {
    if (col >= 1) {
        WriteXY(col, row, attr, text);
        return;
    }
    const std::size_t cut = static_cast<std::size_t>(1 - col);
    if (cut < text.size()) WriteXY(1, row, attr, text.substr(cut));
}

}  // namespace

void TMenuBox::Draw(Byte X1, Byte Y1, Byte X2, Byte Y2) {
    const int innerW = std::max(0, X2 - X1 - 1);
    const FrameChars f = CharsOf(FrameStyle);

    // The screen under the box is kept from the first drawing only, so that a
    // box drawn again over itself still holds what was there before it.
    if (!Saved) {
        SaveScreen(Background);
        Saved = true;
    }
    if (!TwoTone) {
        DarkAttr = LightAttr;
        BottomLeftAttr = LightAttr;
        TopRightAttr = LightAttr;
    }

    // Raised: light from the top left, dark at the right and bottom. Sunken
    // swaps the two; the interior always takes the left edge's colour.
    const Byte topRun = Sunken ? TopRightAttr : LightAttr;
    const Byte topRight = Sunken ? LightAttr : TopRightAttr;
    const Byte leftAndInside = Sunken ? DarkAttr : LightAttr;
    const Byte right = Sunken ? LightAttr : DarkAttr;
    const Byte bottomLeft = Sunken ? DarkAttr : BottomLeftAttr;
    const Byte bottomRun = Sunken ? BottomLeftAttr : DarkAttr;

    WriteXY(X1, Y1, topRun, OneThenRun(f.TL, f.T, innerW));
    WriteXY(X2, Y1, topRight, One(f.TR));
    const std::string edgeAndInside = OneThenRun(f.L, ' ', innerW);
    for (int row = Y1 + 1; row <= Y2 - 1; ++row) {
        WriteXY(X1, row, leftAndInside, edgeAndInside);
        WriteXY(X2, row, right, One(f.R));
    }
    WriteXY(X1, Y2, bottomLeft, One(f.BL));
    WriteXY(X1 + 1, Y2, bottomRun, RepeatChar(f.B, innerW) + f.BR);

    if (!Title.empty()) {
        const int len = static_cast<int>(Title.size());
        const int outerW = X2 - X1 + 1;
        switch (TitleAlign) {
        // A title longer than the edge starts left of it (the offset
        // truncates toward zero).
        case 0: WriteFromColumn(X1 + 1 + (innerW - len) / 2, Y1, TitleAttr, Title); break;
        case 1: WriteXY(X1 + 1, Y1, TitleAttr, Title); break;
        case 2: WriteFromColumn(X2 - len, Y1, TitleAttr, Title); break;
        case 4: WriteXY(X1, Y1, TitleAttr, PadCenter(Title, outerW, ' ')); break;
        case 5: WriteXY(X1, Y1, TitleAttr, PadRight(Title, outerW, ' ')); break;
        case 6: WriteXY(X1, Y1, TitleAttr, PadLeft(Title, outerW, ' ')); break;
        default: break;  // 3 and above 6: no title
        }
    }

    // The shadow darkens what already lies right of and below the box: two
    // columns on the right, one row underneath, offset by two columns.
    if (Shadow) {
        for (int row = Y1 + 1; row <= Y2 + 1; ++row) ShadeRun(X2 + 1, X2 + 2, row, ShadowAttr);
        ShadeRun(X1 + 2, X2 + 2, Y2 + 1, ShadowAttr);
    }
}

void DrawPanel(Byte X1, Byte Y1, Byte X2, Byte Y2, Byte Color) {
    const int n = X2 - X1 + 1;
    auto put = [](int x, int y, const std::string& text) {
        GotoXY(x, y);
        WriteStr(text);
    };

    SetTextAttr(static_cast<Byte>(16 * Color + 15));
    put(X1, Y1, RepeatChar('\xDC', n));
    SetTextAttr(0x7F);
    for (int row = Y1 + 1; row <= Y2 - 1; ++row) put(X1, row, "\xDD");
    SetTextAttr(static_cast<Byte>(16 * Color + 8));
    put(X1, Y2, RepeatChar('\xDF', n));
    SetTextAttr(0x78);
    for (int row = Y1 + 1; row <= Y2 - 1; ++row) put(X2, row, "\xDE");
    SetTextAttr(0x70);
    for (int row = Y1 + 1; row <= Y2 - 1; ++row) put(X1 + 1, row, RepeatChar(' ', n - 2));
    // The blue bar on the second row, with its own edge characters.
    SetTextAttr(0x1F);
    put(X1, Y1 + 1, "\xDD");
    SetTextAttr(0x18);
    put(X2, Y1 + 1, "\xDE");
    put(X1 + 1, Y1 + 1, RepeatChar(' ', n - 2));
    SetTextAttr(7);
}

void ShowNotice(const std::string& Title, const std::string& Message) {
    constexpr Byte Left = 15, Top = 12, Right = 67, Bottom = 16;
    constexpr int Inner = Right - Left - 1;
    TMenuBox box;
    box.FrameStyle = 1;
    box.Title = Title;
    box.Draw(Left, Top, Right, Bottom);
    WriteXY(Left + 1, Top + 1, 0x70, PadCenter(Message, Inner, ' '));
    WriteXY(Left + 1, Top + 3, 0x78, PadCenter("press a key", Inner, ' '));
    ReadKey();
    RestoreScreen(box.Background);
}
