// The one-line editor and the YES/NO input dialog built around it.
#include "widgets/prompts.h"

#include <algorithm>
#include <array>

#include "console/key_codes.h"

std::string EndKeys(1, '\r');
std::string EndKeysExtended;

namespace {

// Longest text the editor holds.
constexpr int MaxEditLen = 80;

enum InputModes : Byte { ModeNumber = 0, ModeAny = 1, ModeUpper = 2, ModeDate = 3 };

bool IsDigit(Byte ch) { return ch >= '0' && ch <= '9'; }

// The editing state of one InputLine call. Positions are 1-based as on the
// screen: CursorPos in the text, FirstShown the text position in the field's
// first cell, CursorCol the cursor's column within the field (it may stand
// one cell right of the field, after the last character that fits).
class LineEditor {
public:
    LineEditor(Byte col, Byte row, Byte fieldWidth, Byte maxLen, Byte mode, Byte editAttr, Byte fillAttr, char fillChar,
               const std::string& initial)
        : col_(col), row_(row), width_(fieldWidth), maxLen_(maxLen), mode_(mode), editAttr_(editAttr),
          fillAttr_(fillAttr), fillChar_(fillChar), buffer_(initial.substr(0, MaxEditLen)) {}

    std::string Edit() {
        const PasteField takesPastes;
        ToEnd();
        GotoXY(col_, row_);
        SetTextAttr(editAttr_);
        RedrawField();
        while (!HandleKey(static_cast<Byte>(ReadKey()))) {}
        return buffer_.substr(0, MaxEditLen);
    }

private:
    int Length() const { return static_cast<int>(buffer_.size()); }

    // The character at text position Pos; positions past the end read as no
    // space, so word movement treats the end of the text like a letter.
    bool SpaceAt(int pos) const { return pos >= 1 && pos <= Length() && buffer_[pos - 1] == ' '; }

    // Cursor after the last character, field scrolled so that the end shows:
    // a long text opens with its end in view.
    void ToEnd() {
        cursorPos_ = Length() + 1;
        firstShown_ = std::max(1, Length() - width_ + 1);
        cursorCol_ = cursorPos_ - firstShown_ + 1;
    }

    void PlaceCursor() { GotoXY(col_ + cursorCol_ - 1, row_); }

    // The visible part of the text, then the fill character up to the
    // field's end.
    void RedrawField() {
        if (!drawing_) return;
        const std::string piece =
            buffer_.substr(std::min<std::size_t>(firstShown_ - 1, buffer_.size()), static_cast<std::size_t>(width_));
        const int n = static_cast<int>(piece.size());
        WriteXY(col_, row_, editAttr_, piece);
        WriteXY(col_ + n, row_, fillAttr_, RepeatChar(fillChar_, width_ - n));
        GotoXY(col_ + cursorCol_ - 1, WhereY());
    }

    // Only the cells from the cursor on change after an insert or delete.
    void RedrawTail() {
        const int room = std::max(0, width_ - cursorCol_ + 1);
        const std::string piece =
            buffer_.substr(std::min<std::size_t>(cursorPos_ - 1, buffer_.size()), static_cast<std::size_t>(room));
        const int n = static_cast<int>(piece.size());
        const int x = col_ + cursorCol_ - 1;
        WriteXY(x, row_, editAttr_, piece);
        WriteXY(x + n, row_, fillAttr_, RepeatChar(fillChar_, room - n));
        PlaceCursor();
    }

    void ScrollLeft() {
        if (firstShown_ <= 1) return;
        --firstShown_;
        cursorCol_ = cursorPos_ - firstShown_ + 1;
        RedrawField();
    }

    void ScrollRight() {
        firstShown_ = std::max(1, std::min({firstShown_ + 1, Length(), static_cast<int>(maxLen_)}));
        cursorCol_ = cursorPos_ - firstShown_ + 1;
        RedrawField();
    }

    void StepLeft() {
        if (cursorCol_ == 1) ScrollLeft();
        --cursorPos_;
        --cursorCol_;
    }

    void StepRight() {
        if (cursorCol_ == width_ && Length() > cursorPos_) ScrollRight();
        ++cursorPos_;
        ++cursorCol_;
    }

    void InsertChar(char ch) {
        if (Length() >= std::min(maxLen_, MaxEditLen)) return;
        // A field as wide as the longest text never needs to scroll: the last
        // character fills the last cell and the cursor stands right of it.
        if (cursorCol_ >= width_ && width_ != maxLen_) ScrollRight();
        buffer_.insert(static_cast<std::size_t>(cursorPos_ - 1), 1, ch);
        if (Length() > cursorPos_ && drawing_) RedrawTail();
        const int x = col_ + cursorCol_ - 1;
        ++cursorPos_;
        ++cursorCol_;
        if (!drawing_) return;
        WriteXY(x, row_, editAttr_, std::string(1, ch));
        GotoXY(x + 1, row_);
    }

    // Digits only; the slashes of MM/DD/YY come by themselves.
    void InsertDateDigit(char ch) {
        if (cursorPos_ == 2 || cursorPos_ == 5) {
            InsertChar(ch);
            InsertChar('/');
        } else if (cursorPos_ == 3 || cursorPos_ == 6) {
            InsertChar('/');
            InsertChar(ch);
        } else {
            InsertChar(ch);
        }
    }

    void TypeChar(Byte ch) {
        switch (mode_) {
        case ModeNumber:
            if (IsDigit(ch) || ch == '-') InsertChar(static_cast<char>(ch));
            break;
        case ModeAny: InsertChar(static_cast<char>(ch)); break;
        case ModeUpper: InsertChar(ch >= 'a' && ch <= 'z' ? static_cast<char>(ch - 32) : static_cast<char>(ch)); break;
        case ModeDate:
            if (IsDigit(ch)) InsertDateDigit(static_cast<char>(ch));
            break;
        default: break;
        }
    }

    // Pasted text goes in as if typed, character by character (the mode's
    // filter, the length limit, the field's scrolling), but the field is
    // drawn once at the end, not once per character.
    void Paste(const std::string& text) {
        drawing_ = false;
        for (char c : text) {
            const Byte ch = static_cast<Byte>(c);
            if (ch >= 32 && ch <= 254) TypeChar(ch);
        }
        drawing_ = true;
        RedrawField();
    }

    void Backspace() {
        if (cursorPos_ <= 1) return;
        --cursorPos_;
        buffer_.erase(static_cast<std::size_t>(cursorPos_ - 1), 1);
        if (cursorCol_ == 1) {
            ScrollLeft();
        } else {
            --cursorCol_;
            PlaceCursor();
            RedrawTail();
        }
    }

    void WordLeft() {
        if (cursorPos_ > 1 && (SpaceAt(cursorPos_) || SpaceAt(cursorPos_ - 1))) StepLeft();
        while (cursorPos_ > 1 && SpaceAt(cursorPos_)) StepLeft();
        while (cursorPos_ > 1 && !SpaceAt(cursorPos_)) StepLeft();
        // Stopped on the space before the word: land on its first letter.
        if (cursorPos_ > 1 && SpaceAt(cursorPos_)) {
            ++cursorPos_;
            ++cursorCol_;
        }
        RedrawField();
    }

    // Lands just after the first space that follows, or after the text.
    void WordRight() {
        while (cursorPos_ <= Length()) {
            StepRight();
            if (SpaceAt(cursorPos_)) {
                if (cursorPos_ <= Length()) StepRight();
                break;
            }
        }
        PlaceCursor();
    }

    // Answers true when the key ends the editor.
    bool HandleKey(Byte key) {
        if (key == 0) return HandleExtended(static_cast<Byte>(ReadKey()));
        if (key >= 32 && key <= 254) {
            TypeChar(key);
        } else if (key == KeyBackspace) {
            Backspace();
        } else if (key == KeyCtrlY) {
            buffer_.clear();
            cursorPos_ = firstShown_ = cursorCol_ = 1;
            RedrawField();
        } else {
            return EndKeys.find(static_cast<char>(key)) != std::string::npos;
        }
        return false;
    }

    bool HandleExtended(Byte code) {
        switch (code) {
        case KeyHome:
            if (cursorPos_ > 1) {
                cursorPos_ = firstShown_ = cursorCol_ = 1;
                RedrawField();
            }
            break;
        case KeyEnd:
            ToEnd();
            RedrawField();
            break;
        case KeyLeft:
            if (cursorPos_ > 1) {
                StepLeft();
                PlaceCursor();
            }
            break;
        case KeyRight:
            if (cursorPos_ <= Length()) {
                StepRight();
                PlaceCursor();
            }
            break;
        case KeyDel:
            if (cursorPos_ <= Length()) {
                buffer_.erase(static_cast<std::size_t>(cursorPos_ - 1), 1);
                RedrawTail();
            }
            break;
        case KeyCtrlLeft: WordLeft(); break;
        case KeyCtrlRight: WordRight(); break;
        case KeyPaste: Paste(PastedText()); break;
        default: return EndKeysExtended.find(static_cast<char>(code)) != std::string::npos;
        }
        return false;
    }

    const int col_;
    const int row_;
    const int width_;
    const int maxLen_;
    const Byte mode_;
    const Byte editAttr_;
    const Byte fillAttr_;
    const char fillChar_;
    std::string buffer_;
    int cursorPos_ = 1;
    int firstShown_ = 1;
    int cursorCol_ = 1;
    bool drawing_ = true;  // off while a paste goes in
};

// A run of N copies of a code page 437 character.
std::string Run(char ch, int n) { return std::string(static_cast<std::size_t>(n), ch); }

// The dialog's five rows of block graphics, pipe-coded. WritePipe leaves the
// last colour in force, so each row continues in the colours of the row
// above; row 1 holds the prompt strip, row 2 the input strip of 49 cells
// from the third column, row 3 the button bar.
const std::array<std::string, 5>& DialogFrameRows() {
    static const std::array<std::string, 5> rows = {
        "|15\xDC\xDB\xDF\xDF|07\xDF|15\xDF|07\xDF\xB2" + Run('\xDF', 4) + "|08\xDF|07\xDF|08" + Run('\xDF', 23) +
            "|07\xDF|08" + Run('\xDF', 4) + " " + Run('\xDF', 3) + Run('\xB1', 2) + Run('\xDF', 5) + "\xDB\xDC|07",
        "\xB2|00 |07\xDC" + Run('\xDB', 13) + "|00|23" + Run(' ', 16) + "|07|16" + Run('\xDB', 19) +
            "\xDC|00 |08\xDB|07",
        "|08\xDB|00 |23" + Run(' ', 49) + "|07|16\xDB|00 |15|23\xDF|07|16",
        "|08\xDB|00 |07\xDF" + Run('\xDB', 48) + "\xDF|00 |15\xDB|07",
        "|08\xDF\xDB" + Run('\xDC', 4) + " \xDC" + Run('\xB2', 2) + Run('\xDC', 28) + "|07\xDC|08" + Run('\xDC', 2) +
            "|07\xDC|08\xDC|07\xDC|00|23" + Run('\xB0', 2) + "|07|16" + Run('\xDC', 2) + "|15\xDC|07\xDC|15" +
            Run('\xDC', 2) + "|00|23\xB0|15|16\xDF|07",
    };
    return rows;
}

// Visible width of the dialog frame's top row.
constexpr int DialogWidth = 55;

void DrawPlainButtons(int mid, int row) {
    WriteXY(mid - 5, row, 0x78, " YES ");
    WriteXY(mid + 5, row, 0x78, " NO ");
}

void DrawButtons(int mid, int row, bool yesSelected) {
    DrawPlainButtons(mid, row);
    if (yesSelected)
        WriteXY(mid - 5, row, 0x3F, " YES ");
    else
        WriteXY(mid + 5, row, 0x4F, " NO ");
}

// The choice phase: Left/Right or Space move the selection, Enter takes it,
// Y and N answer at once. Esc and every other key do nothing.
bool ChooseYesNo(int mid, int row) {
    bool yes = true;  // Enter right after typing confirms.
    for (;;) {
        DrawButtons(mid, row, yes);
        Byte key = static_cast<Byte>(ReadKey());
        if (key >= 'a' && key <= 'z') key = static_cast<Byte>(key - 32);
        if (key == 0) {
            const Byte code = static_cast<Byte>(ReadKey());
            if (code == KeyLeft) yes = true;
            if (code == KeyRight) yes = false;
        } else if (key == KeyEnter) {
            return yes;
        } else if (key == KeySpace) {
            yes = !yes;
        } else if (key == 'Y') {
            return true;
        } else if (key == 'N') {
            return false;
        }
    }
}

}  // namespace

void InputLine(Byte Col, Byte Row, Byte FieldWidth, Byte MaxLen, Byte InputMode, Byte EditAttr, Byte FillAttr,
               char FillChar, const std::string& Initial, std::string& Result) {
    LineEditor editor(Col, Row, FieldWidth, MaxLen, InputMode, EditAttr, FillAttr, FillChar, Initial);
    Result = editor.Edit();
}

void DrawDialogFrame(Byte X, Byte Y) {
    const auto& rows = DialogFrameRows();
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        GotoXY(X, Y + r);
        WritePipe(rows[static_cast<std::size_t>(r)]);
    }
}

bool InputDialog(Byte X, Byte Y, Byte X2, Byte Y2, const std::string& Title, const std::string& Prompt,
                 std::string& Text) {
    const int mid = X + (X2 - X) / 2;
    const Byte oldX = WhereX();
    const Byte oldY = WhereY();
    const Byte oldAttr = GetTextAttr();

    DrawDialogFrame(X, Y);
    // The title sits quietly in the middle of the frame's top edge, black on
    // grey, so that the reader sees what is being asked for without the
    // frame's look changing; a title too long for the edge is left out.
    const int titleLen = static_cast<int>(Title.size());
    if (titleLen > 0 && titleLen <= DialogWidth - 4) WriteXY(X + (DialogWidth - titleLen) / 2, Y, 0x70, Title);
    WriteXY(X + 3, Y + 1, 0x7F, Prompt);
    // Both buttons plain while the text is edited: nothing is chosen yet.
    DrawPlainButtons(mid, Y2 - 2);

    const Byte width = static_cast<Byte>(X2 - X - 3);
    std::string edited;
    InputLine(static_cast<Byte>(X + 3), static_cast<Byte>(Y + 2), width, width, ModeAny, 0x70, 0x78, '\xB0', Text,
              edited);
    Text = edited;

    const bool answer = ChooseYesNo(mid, Y2 - 2);
    GotoXY(oldX, oldY);
    SetTextAttr(oldAttr);
    return answer;
}
