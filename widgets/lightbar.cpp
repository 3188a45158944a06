// The light-bar menu. One Run is a small state machine around the box: Top
// (the item in the first row), the highlighted Index and the position of the
// ripple animation on the bar.
#include "widgets/lightbar.h"

#include <algorithm>

#include "console/conapi.h"
#include "console/key_codes.h"

namespace {

// Milliseconds between two letters of the bar animation.
constexpr int AnimStepMs = 60;

// No result yet: every result code is either an index (>= 0) or one of the
// negative codes of lightbar.h, none of which is this value.
constexpr int32_t NoResult = -1;

// The state of one Run; it lives only while the menu is on screen.
class BarRun {
public:
    BarRun(TBar& bar, int x, int y, int width, int rows) : bar_(bar), x_(x), y_(y), width_(width), rows_(rows) {}

    int32_t Run(int32_t start) {
        PlaceStart(std::max(0, start));
        DrawAll();
        while (result_ == NoResult) {
            // Told again after every key: it may have moved the bar, or
            // opened another menu over this one and closed it.
            Describe();
            // The reader asked for another place: the bar closes as on Esc,
            // and its caller follows the place.
            if (!conapi::WantedPlace().empty()) {
                result_ = BarEsc;
                break;
            }
            DrawMoreIndicator();
            if (bar_.SearchX != 0) WriteXY(bar_.SearchX, bar_.SearchY, bar_.SearchAttr, bar_.SearchText);
            if (bar_.ShowScrollBar) DrawScrollBar();
            Animate();
            HandleKey(static_cast<Byte>(ReadKey()));
            // Whatever the key did, the ripple starts over on the (possibly
            // new) bar.
            animPos_ = 1;
            animUpper_ = false;
        }
        bar_.Index = result_;
        conapi::DescribeMenu({}, 0, 0, {});
        return result_;
    }

private:
    // The first highlighted item goes to the top row when the list allows it;
    // near the end the last page is shown instead.
    void PlaceStart(int32_t start) {
        const int32_t count = bar_.Count;
        if (start > count - 1) {
            top_ = 0;
            bar_.Index = 0;
        } else if (start > count - rows_) {
            top_ = std::max(0, count - rows_);
            bar_.Index = start;
        } else {
            top_ = start;
            bar_.Index = start;
        }
    }

    // Item I in the given colour prefix, filled to the box's visible width so
    // that the bar always covers the whole row, pipe codes or not.
    void DrawLine(int32_t i, const std::string& colour) {
        const std::string& text = bar_.Items[static_cast<std::size_t>(i)].Text;
        WriteXYPipe(x_, y_ + i - top_, 7, colour + PadRight(text, PipePadWidth(text, width_), ' '));
    }

    // The entries, the lit one and the box, for readers who do not see the
    // screen and for a tap on an entry.
    void Describe() const {
        std::vector<std::string> entries;
        entries.reserve(bar_.Items.size());
        for (const TBItem& item : bar_.Items) entries.push_back(item.Text);
        const auto at = [](int n) { return static_cast<int16_t>(n); };
        conapi::DescribeMenu(entries, bar_.Index, top_,
                             conapi::Rect{at(x_ - 1), at(y_ - 1), at(x_ + width_ - 2), at(y_ + rows_ - 2)});
    }

    void DrawItem(int32_t i) { DrawLine(i, bar_.NormalColour); }

    void DrawBar() {
        DrawLine(bar_.Index, bar_.SelectedColour);
        if (bar_.OnHighlight) bar_.OnHighlight(bar_.Index);
    }

    void DrawAll() {
        for (int r = 0; r < rows_; ++r) {
            if (top_ + r < bar_.Count)
                DrawItem(top_ + r);
            else
                WriteXY(x_, y_ + r, 7, RepeatChar(' ', width_));
        }
        DrawBar();
    }

    void DrawScrollBar() {
        const int col = x_ + width_ - 1;
        for (int r = 0; r < rows_; ++r)
            WriteXY(col, y_ + r, bar_.ScrollTrackAttr, std::string(1, static_cast<char>(bar_.ScrollTrackChar)));
        int p = 0;
        if (bar_.Index == 0)
            p = 0;
        else if (bar_.Index == bar_.Count - 1)
            p = rows_ - 1;
        else
            p = rows_ * bar_.Index / bar_.Count;
        WriteXY(col, y_ + p, bar_.ScrollThumbAttr, std::string(1, static_cast<char>(bar_.ScrollThumbChar)));
    }

    // Two arrows that tell whether items are hidden above or below; redrawn
    // only when that changes, since WritePipe moves the cursor.
    void DrawMoreIndicator() {
        if (!bar_.ShowMore) return;
        int state = 0;
        if (top_ > 0) state |= 1;
        if (top_ + rows_ < bar_.Count) state |= 2;
        if (state == moreState_) return;
        moreState_ = state;
        const char above = (state & 1) ? '\xF4' : ' ';
        const char below = (state & 2) ? '\xF5' : ' ';
        GotoXY(bar_.MoreX, bar_.MoreY);
        WritePipe(bar_.MoreColour + above + below + " more");
    }

    // The ripple: one letter of the bar per step, lower case on one pass and
    // upper case on the next. Between steps it waits for the next step or a
    // key, whichever comes first: a key is answered at once, the ripple keeps
    // its pace while no key comes, and no CPU is burnt.
    //
    // With IdleRestMs set (a public board) the ripple rests after that long
    // without a key: the idle reader's connection then goes quiet, so that
    // the server's idle time-out can close it. The next key wakes the bar as
    // usual.
    void Animate() {
        const int restMs = bar_.IdleRestMs;
        int elapsedMs = 0;
        while (!KeyPressed()) {
            if (restMs > 0 && elapsedMs >= restMs) return;
            elapsedMs += AnimStepMs;
            const std::string& t = bar_.Items[static_cast<std::size_t>(bar_.Index)].Text;
            if (!t.empty()) {
                const std::string letter(1, t[static_cast<std::size_t>(animPos_ - 1)]);
                const int col = x_ + animPos_ - 1;
                const int row = y_ + bar_.Index - top_;
                if (animUpper_)
                    WriteXY(col, row, bar_.AnimUpperAttr, Upper(letter));
                else
                    WriteXY(col, row, bar_.AnimLowerAttr, Lower(letter));
            }
            ++animPos_;
            DelayUntilKey(AnimStepMs);
            if (animPos_ > static_cast<int>(t.size())) {
                animPos_ = 1;
                animUpper_ = !animUpper_;
            }
        }
    }

    void HandleKey(Byte key) {
        if (key == 0)
            HandleExtended(static_cast<Byte>(ReadKey()));
        else
            HandlePlain(key);
    }

    void HandleExtended(Byte code) {
        const bool paging = code == KeyPgUp || code == KeyPgDn;
        switch (code) {
        case KeyUp:
        case KeyDown:
        case KeyHome:
        case KeyEnd:
        case KeyPgUp:
        case KeyPgDn:
        case KeyLeft:
        case KeyRight:
            if (!(paging && bar_.SpecialKeys)) bar_.SearchFrom = 0;
            break;
        default: return;
        }
        switch (code) {
        case KeyUp: MoveUp(); break;
        case KeyDown: MoveDown(); break;
        case KeyHome:
            top_ = 0;
            bar_.Index = 0;
            DrawAll();
            break;
        case KeyEnd:
            bar_.Index = bar_.Count - 1;
            if (rows_ < bar_.Count) top_ = bar_.Count - rows_;
            DrawAll();
            break;
        case KeyPgUp: PageUp(); break;
        case KeyPgDn: PageDown(); break;
        case KeyLeft: result_ = BarLeft; break;
        case KeyRight: result_ = BarRight; break;
        }
    }

    // No wrap-around at either end: the first and last item stay put.
    void MoveUp() {
        if (bar_.Index > top_) {
            DrawItem(bar_.Index);
            --bar_.Index;
            DrawBar();
        } else if (top_ > 0) {
            --top_;
            --bar_.Index;
            DrawAll();
        }
    }

    void MoveDown() {
        if (bar_.Index >= bar_.Count - 1) return;
        if (bar_.Index < top_ + rows_ - 1) {
            DrawItem(bar_.Index);
            ++bar_.Index;
            DrawBar();
        } else {
            ++top_;
            ++bar_.Index;
            DrawAll();
        }
    }

    // With SpecialKeys the owner pages for itself (the keys reach OnKey as
    // '[' and ']'); otherwise the menu pages by a box height.
    void PageUp() {
        if (bar_.SpecialKeys) {
            if (bar_.OnKey) bar_.OnKey('[', bar_.Index);
        } else if (top_ - rows_ >= 0) {
            top_ -= rows_;
            bar_.Index -= rows_;
        } else {
            top_ = 0;
            bar_.Index = 0;
        }
        DrawAll();
    }

    void PageDown() {
        if (bar_.SpecialKeys) {
            if (bar_.OnKey) bar_.OnKey(']', bar_.Index);
            DrawAll();
            return;
        }
        if (rows_ >= bar_.Count) return;
        if (top_ + rows_ < bar_.Count - 1) {
            top_ += rows_;
            bar_.Index = top_;
        } else {
            top_ = bar_.Count - rows_;
            bar_.Index = bar_.Count - 1;
        }
        DrawAll();
    }

    void HandlePlain(Byte key) {
        if (key == KeyCtrlL) {
            RedrawScreen();
            return;
        }
        // Asked before OnKey runs: what the key does may change the answer.
        const bool hotKey = bar_.IsHotKey && bar_.IsHotKey(static_cast<char>(key));
        if (key == KeyEsc) {
            result_ = BarEsc;
        } else if (key == KeyEnter) {
            result_ = bar_.Index;
            if (bar_.OnSelect) bar_.OnSelect(bar_.Index);
        }
        // The owner's key procedure sees every plain key, Esc and Enter too,
        // and may have drawn over the box (help screen, track menu).
        if (bar_.OnKey) {
            bar_.OnKey(static_cast<char>(key), bar_.Index);
            // The key took the reader elsewhere (another issue): the run ends
            // as Esc ends it, with nothing drawn over what the owner draws next.
            if (bar_.Leaving && bar_.Leaving()) {
                result_ = BarEsc;
                return;
            }
            DrawAll();
        }
        if (bar_.SpecialKeys)
            HandleSpecial(key);
        else if (!hotKey)
            HandleSearchKey(key);
    }

    void HandleSpecial(Byte key) {
        switch (key) {
        case '+': result_ = BarPlus; break;
        case '-': result_ = BarMinus; break;
        case '*': result_ = BarStar; break;
        case '/': result_ = BarSlash; break;
        case KeyBackspace: result_ = BarBackspace; break;
        default: break;
        }
    }

    // Type-ahead search: the text grows with every typed character and stays
    // between runs; a character that matches nothing is kept all the same so
    // that the next letters are searched together with it.
    void HandleSearchKey(Byte key) {
        if (key >= 32 && key <= 128) {
            bar_.SearchText += Upper(std::string(1, static_cast<char>(key)));
            bar_.SearchFrom = 0;
            Search();
        } else if (key == KeyCtrlA) {
            ++bar_.SearchFrom;
            if (bar_.SearchFrom > bar_.Count - 1) bar_.SearchFrom = 0;
            Search();
        } else if (key == KeyBackspace) {
            if (!bar_.SearchText.empty()) bar_.SearchText.pop_back();
            if (bar_.SearchX != 0) WriteXY(bar_.SearchX, bar_.SearchY, bar_.SearchAttr, bar_.SearchText + " ");
            bar_.SearchFrom = 0;
            Search();
        } else if (key == KeyCtrlY) {
            if (bar_.SearchX != 0) {
                GotoXY(bar_.SearchX, bar_.SearchY);
                WriteStr(RepeatChar(' ', static_cast<int>(bar_.SearchText.size())));
            }
            bar_.SearchText.clear();
            bar_.SearchFrom = 0;
        }
    }

    // The first match from SearchFrom on goes to the top row, even near the
    // end of the list, so the eye finds it in the same place every time.
    void Search() {
        if (bar_.SearchText.empty()) return;
        for (int32_t i = std::max(0, bar_.SearchFrom); i < bar_.Count; ++i) {
            if (Upper(bar_.Items[static_cast<std::size_t>(i)].Text).find(bar_.SearchText) != std::string::npos) {
                top_ = i;
                bar_.Index = i;
                bar_.SearchFrom = i;
                DrawAll();
                return;
            }
        }
    }

    TBar& bar_;
    const int x_;
    const int y_;
    const int width_;
    const int rows_;
    int32_t top_ = 0;
    int32_t result_ = NoResult;
    int moreState_ = 0;
    int animPos_ = 1;
    bool animUpper_ = false;
};

// A menu said as plain lines: the screen, the list, the prompt; then keys
// until one chooses or leaves.
class PlainListRun {
public:
    explicit PlainListRun(TBar& bar) : bar_(bar), keys_(PlainMenuKeys(bar.Count, bar.IsHotKey)) {}

    int32_t Run() {
        bool list = true;
        for (;;) {
            if (!conapi::WantedPlace().empty()) return BarEsc;
            // What a hot key showed meanwhile (help, the track menu) has
            // gone again: the screen is said anew, and the list with it.
            if (conapi::SayRows(0, ScreenRows - 1)) list = true;
            if (list) SayList();
            list = false;
            conapi::SayText(PlainMenuPrompt + "\n");
            const auto key = static_cast<Byte>(ReadKey());
            if (key == 0) {
                ReadKey();  // a cursor or function key: no choice
                continue;
            }
            if (key == KeyEsc || key == '0') return BarEsc;
            if (key == KeyCtrlL || key == KeyEnter) {
                RedrawScreen();  // the whole screen, and the list, again
                continue;
            }
            const std::size_t chosen = keys_.find(LowerChar(static_cast<char>(key)));
            if (chosen != std::string::npos && static_cast<int32_t>(chosen) < bar_.Count) {
                bar_.Index = static_cast<int32_t>(chosen);
                if (bar_.OnSelect) bar_.OnSelect(bar_.Index);
                return bar_.Index;
            }
            if (bar_.OnKey) {
                bar_.OnKey(static_cast<char>(key), bar_.Index);
                if (bar_.Leaving && bar_.Leaving()) return BarEsc;
            }
        }
    }

private:
    void SayList() const {
        std::string lines;
        for (int32_t i = 0; i < bar_.Count; ++i) {
            const char key = static_cast<std::size_t>(i) < keys_.size() ? keys_[static_cast<std::size_t>(i)] : ' ';
            lines += std::string("  ") + key + "  " + SaidLabel(bar_.Items[static_cast<std::size_t>(i)].Text) + "\n";
        }
        conapi::SayText(lines);
    }

    TBar& bar_;
    const std::string keys_;
};

bool LetterSpaced(const std::string& text) {
    int letters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == ' ') continue;
        if (i + 1 < text.size() && text[i + 1] != ' ') return false;
        ++letters;
    }
    return letters >= 2;
}

}  // namespace

std::string SaidLabel(const std::string& label) {
    std::string text = PipeText(label, PipeRule::WriteXYPipe);
    text.erase(text.find_last_not_of(' ') + 1);
    text.erase(0, text.find_first_not_of(' '));
    if (!LetterSpaced(text)) return text;
    // One space parts the letters of a word, more than one the words.
    std::string said;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != ' ')
            said += text[i];
        else if (i + 1 < text.size() && text[i + 1] == ' ' && (said.empty() || said.back() != ' '))
            said += ' ';
    }
    return said;
}

std::string PlainMenuKeys(int count, const std::function<bool(char)>& isHotKey) {
    std::string keys;
    for (char digit = '1'; digit <= '9' && static_cast<int>(keys.size()) < count; ++digit) keys += digit;
    for (char letter = 'a'; letter <= 'z' && static_cast<int>(keys.size()) < count; ++letter)
        if (!isHotKey || (!isHotKey(letter) && !isHotKey(static_cast<char>(letter - 'a' + 'A')))) keys += letter;
    return keys;
}

void TBar::Add(const std::string& Text) {
    Items.push_back(TBItem{Text});
    Count = static_cast<int32_t>(Items.size());
}

int32_t TBar::Run(Byte X, Byte Y, Byte Width, Byte Rows, int32_t Start) {
    // Callers always add items first and never pass a negative start; an
    // empty menu has nothing to highlight, so it ends as if Esc was pressed
    // rather than read an item that does not exist.
    if (Items.empty()) {
        Index = BarEsc;
        return Index;
    }
    if (conapi::ShowsPlainLines()) return PlainListRun(*this).Run();
    return BarRun(*this, X, Y, Width, Rows).Run(Start);
}
