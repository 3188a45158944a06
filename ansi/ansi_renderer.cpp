#include "ansi/ansi_renderer.h"

#include <algorithm>
#include <array>
#include <memory>
#include <string_view>
#include <vector>

#include "ansi/canvas.h"
#include "console/conapi.h"
#include "console/m_Console.h"
#include "console/palette.h"
#include "sys/sys.h"

namespace {

std::vector<std::string> Arguments;

constexpr std::size_t BlockSize = 4096;
constexpr char Esc = 27;
constexpr char Sub = 26;
// Longest parameter text kept; a real sequence never comes near it, and a
// hostile file must not make the renderer grow without bound.
constexpr std::size_t MaxParamText = 64;
// Largest cursor move honoured: the tallest piece's rows (the screen is
// far smaller, and clamps).
constexpr int MaxMove = TCanvas::MaxRows + 1000;

// ANSI colour numbers 0..7 in PC order (red and blue exchanged).
constexpr std::array<Byte, 8> AnsiToPc = {0, 4, 2, 6, 1, 5, 3, 7};

// The escape sequences that stand for the pipe colour codes 00..23.
constexpr std::array<const char*, 24> PipeToAnsi = {"[0;30m", "[0;34m", "[0;32m", "[0;36m", "[0;31m", "[0;35m",
                                                    "[0;33m", "[0;37m", "[1;30m", "[1;34m", "[1;32m", "[1;36m",
                                                    "[1;31m", "[1;35m", "[1;33m", "[1;37m", "[40m",   "[44m",
                                                    "[42m",   "[46m",   "[41m",   "[45m",   "[43m",   "[47m"};

// Whether Ch, read while the parser is in text, is drawn as it is (or
// moves the cursor as CR and BS do) and is neither a pipe code's bar nor
// the end mark.
bool IsPlainText(char ch) { return ch != 0 && ch != 9 && ch != 10 && ch != 12 && ch != Esc && ch != Sub && ch != '|'; }

// Takes the bytes in 4096-byte blocks, as a file would be read; the block
// position decides the pauses. Bytes can be given back.
class BlockReader {
public:
    explicit BlockReader(std::string_view bytes) : bytes_(bytes) {}

    // Next byte, or false at the end of the file. FromBlock tells whether
    // it advanced the block position (a given-back byte does not).
    bool Next(char& b, bool& fromBlock) {
        if (givenCount_ > 0) {
            b = given_[--givenCount_];
            fromBlock = false;
            return true;
        }
        fromBlock = true;
        if (pos_ == count_ && !Refill()) return false;
        b = block_[pos_++];
        return true;
    }

    // The next byte, when it comes from the block, without taking it; Skip
    // takes it.
    bool PeekBlock(char& b) const {
        if (givenCount_ > 0 || pos_ == count_) return false;
        b = block_[pos_];
        return true;
    }
    void Skip() { ++pos_; }

    // Gives bytes back; they are read again, the last given first. A pipe
    // code that is none gives back its two characters, never more.
    void GiveBack(char b) {
        if (givenCount_ < given_.size()) given_[givenCount_++] = b;
    }

    std::size_t Position() const { return pos_; }

private:
    bool Refill() {
        if (ended_) return false;
        block_ = bytes_.data() + taken_;
        count_ = std::min(BlockSize, bytes_.size() - taken_);
        taken_ += count_;
        pos_ = 0;
        if (count_ > 0) return true;
        // The end mark takes the first place of the empty block.
        ended_ = true;
        pos_ = count_ = 1;
        return false;
    }

    std::string_view bytes_;
    std::size_t taken_ = 0;  // bytes of earlier blocks
    const char* block_ = nullptr;
    std::size_t count_ = 0;
    std::size_t pos_ = 0;
    bool ended_ = false;
    std::array<char, 2> given_{};
    std::size_t givenCount_ = 0;
};

// Plain characters read but not drawn yet, kept apart from their storage
// for the reason given above.
class PlainRun {
public:
    static constexpr std::size_t Capacity = 256;

    explicit PlainRun(std::array<char, Capacity>& storage) : chars_(storage.data()) {}

    void Add(char ch) { chars_[size_++] = ch; }
    bool Full() const { return size_ == Capacity; }
    // The characters, which are forgotten here: the view lasts until the
    // next Add.
    std::string_view Take() {
        const std::string_view taken(chars_, size_);
        size_ = 0;
        return taken;
    }

private:
    char* chars_;
    std::size_t size_ = 0;
};

// The console screen, as the renderer draws on it.
struct ScreenTarget {
    void WriteText(std::string_view text) { Screen->WriteText(text); }
    static void GotoXY(int x, int y) { ::GotoXY(x, y); }
    static int WhereX() { return ::WhereX(); }
    static int WhereY() { return ::WhereY(); }
    static void ClearScreen() { ::ClearScreen(); }
    static Byte& Attr() { return Screen->TextAttr; }
    static int Width() { return ScreenCols; }
    // The screens have no colours of their own: never asked for (the
    // screens' rules read no 24-bit sequences).
    static uint32_t& OwnFore() {
        static uint32_t none = 0;
        return none;
    }
    static uint32_t& OwnBack() { return OwnFore(); }
};

// A page larger than the screen, drawn on the same way.
struct CanvasTarget {
    TCanvas& canvas;
    void WriteText(std::string_view text) { canvas.WriteText(text); }
    void GotoXY(int x, int y) { canvas.GotoXY(x, y); }
    int WhereX() const { return canvas.WhereX(); }
    int WhereY() const { return canvas.WhereY(); }
    void ClearScreen() { canvas.ClearScreen(); }
    Byte& Attr() { return canvas.TextAttr; }
    int Width() const { return canvas.Width(); }
    uint32_t& OwnFore() { return canvas.OwnFore; }
    uint32_t& OwnBack() { return canvas.OwnBack; }
};

// What a piece's drawing does beside the screens' rules (see BlinkRule).
struct PieceRules {
    bool piece = false;  // colours of their own read; the blink rule below
    BlinkRule blink = BlinkRule::Screen;
};

template <class Target>
class AnsiInterpreter {
public:
    explicit AnsiInterpreter(Target& target, PieceRules rules = {})
        : t_(target), rules_(rules), savedX_(t_.WhereX()), savedY_(t_.WhereY()) {}

    // Whether Ch, coming now, is a character drawn as it is (or CR or BS,
    // which the character writer takes as cursor moves): such runs are
    // handed to the screen in one piece by FeedPlain.
    bool IsPlain(char ch) const { return state_ == State::Text && IsPlainText(ch); }

    // A run of bytes for which IsPlain held, drawn with one WriteStr: the
    // same cells, cursor and colours as one WriteStr per character.
    void FeedPlain(std::string_view run) {
        if (run.empty()) return;
        t_.WriteText(run);
        previous_ = run.back();
    }

    // One byte of the file (or of a pipe code's sequence). The bytes that
    // only carry the parser through a sequence (the ESC, the '[', a
    // parameter character) are most of a screen's escape bytes: they are
    // taken here, small enough to be inlined in the reading loop; every
    // other byte is Act's work.
    void Feed(char ch, bool remember = true) {
        if (!TakeSequenceByte(ch)) Act(ch);
        if (remember) previous_ = ch;
    }

private:
    enum class State { Text, Escape, Params };

    bool TakeSequenceByte(char ch) {
        if (state_ == State::Text && ch == Esc) {
            state_ = State::Escape;
        } else if (state_ == State::Escape && ch == '[') {
            state_ = State::Params;
            ClearParams();
        } else if (state_ == State::Params && IsParamChar(ch)) {
            if (paramLen_ < params_.size()) params_[paramLen_++] = ch;
        } else {
            return false;
        }
        return true;
    }

    // A byte that TakeSequenceByte left: text, the end of a sequence, or
    // the byte after an ESC that is not '[' (swallowed). Never inlined, so
    // that Feed stays small enough to be inlined in the reading loop.
    [[gnu::noinline]] void Act(char ch) {
        switch (state_) {
        case State::Text: Text(ch); break;
        case State::Escape: state_ = State::Text; break;
        case State::Params: Param(ch); break;
        }
    }

    void Text(char ch) {
        switch (ch) {
        case 0: break;
        case 9: t_.GotoXY(t_.WhereX() + 8, t_.WhereY()); break;
        case 10:
            // Bare LF line ends draw like CR LF.
            if (previous_ != 13) t_.WriteText("\r");
            t_.WriteText("\n");
            break;
        case 12: t_.ClearScreen(); break;
        default: t_.WriteText(std::string(1, ch)); break;
        }
    }

    void Param(char ch) {
        const auto u = static_cast<unsigned char>(ch);
        if (u < '0') {
            EndSequence();
            return;
        }
        // Colours are nearly every sequence of a screen: straight there.
        if (ch == 'm')
            SelectGraphicRendition();
        else
            Command(ch);
        EndSequence();
    }

    static bool IsParamChar(char ch) { return (ch >= '0' && ch <= '9') || ch == ';' || ch == '?'; }
    void ClearParams() { paramLen_ = paramPos_ = 0; }
    std::size_t ParamsLeft() const { return paramLen_ - paramPos_; }

    void EndSequence() {
        state_ = State::Text;
        ClearParams();
    }

    // A count for cursor moves: 0 counts as 1.
    int Count() { return std::clamp(NextParam(), 1, MaxMove); }

    void Command(char ch) {
        switch (ch) {
        case 'A': {
            const int n = Count();
            t_.GotoXY(t_.WhereX(), std::max(1, t_.WhereY() - n));
            break;
        }
        case 'B': {
            const int n = Count();
            t_.GotoXY(t_.WhereX(), t_.WhereY() + n);
            break;
        }
        case 'C': {
            const int n = Count();
            t_.GotoXY(std::min(t_.Width(), t_.WhereX() + n), t_.WhereY());
            break;
        }
        case 'D': {
            const int n = Count();
            t_.GotoXY(std::max(1, t_.WhereX() - n), t_.WhereY());
            break;
        }
        case 'E': {
            const int n = Count();
            t_.GotoXY(1, t_.WhereY() + n);
            break;
        }
        case 'G': t_.GotoXY(1, t_.WhereY()); break;
        case 'H':
        case 'f': {
            const int row = std::clamp(NextParam(), 1, MaxMove);
            const int col = std::clamp(NextParam(), 1, MaxMove);
            t_.GotoXY(col, row);
            break;
        }
        case 'J': t_.ClearScreen(); break;
        case 'K': t_.WriteText(RepeatChar(' ', t_.Width() - t_.WhereX())); break;
        case 'm': SelectGraphicRendition(); break;
        case 'n':
            t_.WriteText(std::string(1, Esc) + "[" + IntToStr(t_.WhereY()) + ";" + IntToStr(t_.WhereX()) + "R");
            break;
        case 's':
            savedX_ = t_.WhereX();
            savedY_ = t_.WhereY();
            break;
        case 'u': t_.GotoXY(savedX_, savedY_); break;
        case 't':
            if (rules_.piece) OwnColourSequence();
            break;
        default: break;
        }
    }

    // ESC[0;r;g;bt sets the background, ESC[1;r;g;bt the foreground, to a
    // 24-bit colour (the form one ANSI editor writes).
    void OwnColourSequence() {
        const int which = NextParam();
        if (which != 0 && which != 1) return;
        uint32_t colour = 0;
        if (!NextRgb(colour)) return;
        SetOwn(which == 1, colour, t_.Attr());
    }

    // Three parameters, each 0 to 255, as a colour of its own; false when
    // they are not all there.
    bool NextRgb(uint32_t& colour) {
        int rgb[3];
        for (int& c : rgb) {
            if (ParamsLeft() == 0) return false;
            c = std::clamp(NextParam(), 0, 255);
        }
        colour =
            conapi::OwnColour(static_cast<uint8_t>(rgb[0]), static_cast<uint8_t>(rgb[1]), static_cast<uint8_t>(rgb[2]));
        return true;
    }

    // A colour of its own for the foreground or the background, with the
    // nearest of the sixteen in Attr.
    void SetOwn(bool fore, uint32_t colour, Byte& attr) {
        const auto nearest = static_cast<Byte>(palette::NearestPc(palette::OfOwn(colour)));
        if (fore) {
            t_.OwnFore() = colour;
            attr = static_cast<Byte>((attr & 0xF0) | nearest);
        } else {
            t_.OwnBack() = colour;
            attr = static_cast<Byte>((attr & 0x0F) | nearest << 4);
        }
    }

    // SGR 38 or 48 and what follows: ;2;r;g;b or ;5;n.
    void ExtendedColour(bool fore, Byte& attr) {
        const int form = NextParam();
        uint32_t colour = 0;
        if (form == 2) {
            if (NextRgb(colour)) SetOwn(fore, colour, attr);
            return;
        }
        if (form != 5 || ParamsLeft() == 0) return;
        const int n = std::clamp(NextParam(), 0, 255);
        if (n < 16) {
            // The sixteen colours in ANSI order: the PC's own.
            const auto pc = static_cast<Byte>(AnsiToPc[n & 7] | (n & 8));
            if (fore) {
                t_.OwnFore() = 0;
                attr = static_cast<Byte>((attr & 0xF0) | pc);
            } else {
                t_.OwnBack() = 0;
                attr = static_cast<Byte>((attr & 0x0F) | pc << 4);
            }
            return;
        }
        const palette::Rgb c = palette::Entry256(n);
        SetOwn(fore, conapi::OwnColour(c.r, c.g, c.b), attr);
    }

    // Takes the next number off the parameter text.
    int NextParam() {
        // The digits read as a decimal number, 0 when they do not fit a
        // signed 32-bit value (as StrToInt reads them), without copies:
        // this runs for every parameter of every sequence.
        std::size_t i = paramPos_;
        uint64_t value = 0;
        bool fits = true;
        for (; i < paramLen_ && params_[i] >= '0' && params_[i] <= '9'; ++i) {
            value = value * 10 + static_cast<uint64_t>(params_[i] - '0');
            if (value > 2147483647u) fits = false, value = 0;
        }
        // The separator after the number goes with it, whatever it is.
        paramPos_ = std::min(i + 1, paramLen_);
        return fits ? static_cast<int>(value) : 0;
    }

    void SelectGraphicRendition() {
        // Worked out in a local and stored once: a store of a byte through
        // the screen could change anything, as far as the compiler knows,
        // and would make it read the parameters again for every number.
        Byte attr = t_.Attr();
        if (ParamsLeft() == 0) Reset(attr);
        while (ParamsLeft() > 0) {
            const int n = NextParam();
            if (n == 0) {
                Reset(attr);
            } else if (n == 1) {
                bold_ = true;
                if (!rules_.piece || t_.OwnFore() == 0) attr |= 0x08;
            } else if (n == 5) {
                blink_ = true;
                if (rules_.blink != BlinkRule::Ignored && (!rules_.piece || t_.OwnBack() == 0)) attr |= 0x80;
            } else if (n == 7) {
                const Byte a = attr & 0xF7;
                attr = static_cast<Byte>((a & 0x80) | ((a & 0x07) << 4) | ((a >> 4) & 0x07));
            } else if (n >= 30 && n <= 37) {
                if (rules_.piece && t_.OwnFore() != 0) {
                    // The attribute held the own colour's nearest: intensity
                    // is the bold the piece asked for.
                    t_.OwnFore() = 0;
                    attr = static_cast<Byte>((attr & 0xF0) | (bold_ ? 0x08 : 0));
                }
                attr = static_cast<Byte>((attr & 0xF8) + AnsiToPc[n - 30]);
            } else if (n >= 40 && n <= 47) {
                // Art made for bright backgrounds keeps its blink bit through
                // the background codes, as the scene's renderers have it.
                Byte kept = rules_.blink == BlinkRule::Bright ? (attr & 0x80) : 0;
                if (rules_.piece && t_.OwnBack() != 0) {
                    t_.OwnBack() = 0;
                    kept = rules_.blink == BlinkRule::Bright && blink_ ? 0x80 : 0;
                }
                attr = static_cast<Byte>((attr & 0x0F) + 16 * AnsiToPc[n - 40]) | kept;
            } else if ((n == 38 || n == 48) && rules_.piece) {
                ExtendedColour(n == 38, attr);
            }
        }
        t_.Attr() = attr;
    }

    void Reset(Byte& attr) {
        attr = 7;
        bold_ = blink_ = false;
        if (rules_.piece) t_.OwnFore() = t_.OwnBack() = 0;
    }

    State state_ = State::Text;
    // The parameter text of the sequence being read, and how much of it
    // NextParam has taken.
    std::array<char, MaxParamText> params_{};
    std::size_t paramLen_ = 0;
    std::size_t paramPos_ = 0;
    Target& t_;
    PieceRules rules_;
    // Bold and blink as a piece asked for them: the attribute's bits hold
    // the nearest of an own colour while one is in force.
    bool bold_ = false;
    bool blink_ = false;
    char previous_ = 0;
    int savedX_;
    int savedY_;
};

// The sequence that stands for pipe code N (0..23), drawn in Attr.
std::string PipeSequence(int n, Byte attr) {
    std::string seq = std::string(1, Esc) + PipeToAnsi[n];
    if (n <= 7) {
        // Their "0" resets the background too: put back the one in force.
        seq += std::string(1, Esc) + PipeToAnsi[16 + ((attr >> 4) & 7)];
    }
    return seq;
}

// Two digits "00".."23": the code's number, else -1.
int PipeCodeNumber(char c1, char c2) {
    if (c1 < '0' || c1 > '9' || c2 < '0' || c2 > '9') return -1;
    const int n = (c1 - '0') * 10 + (c2 - '0');
    return n <= 23 ? n : -1;
}

// Applies a key pressed while drawing. Answers true when drawing must stop.
bool PaceKey(char key, int32_t& pause) {
    switch (key) {
    case Esc: return true;
    case '*': pause = 20; break;
    case '+': pause += 3; break;
    case '-': pause -= 3; break;
    case '/': pause = Arguments.size() > 2 ? StrToInt(Arguments[2]) : 0; break;
    default: break;
    }
    return false;
}

// How a paced drawing ends its pauses and takes Esc.
struct Pacing {
    int32_t pause;
    // Esc stops the drawing (the screens), or only ends the pacing so that
    // the rest is drawn at once (a piece, which is shown whole).
    bool escFinishes = false;
    // Runs before each pause and at the end (a piece shows its canvas).
    const std::function<void()>* beforePause = nullptr;
};

template <class Target>
void DrawPaced(std::string_view Bytes, Target& target, AnsiInterpreter<Target>& interpreter, Pacing pacing) {
    BlockReader reader(Bytes);
    // Plain lines say the screen once it is drawn: no pace to keep, and the
    // keys typed ahead are left for the menu that follows.
    const bool plain = conapi::ShowsPlainLines();
    if (plain) pacing.pause = 0;
    int32_t& pause = pacing.pause;
    bool stop = false;
    bool keys = !plain;  // keys are looked at: until Esc ends the pacing of a piece
    // Plain characters wait here until something else comes (an escape, a
    // pipe code, a pause, the end), so that a run of them reaches the
    // screen in one write; every byte is still read and checked for keys
    // on its own.
    std::array<char, PlainRun::Capacity> runChars;
    PlainRun run(runChars);

    while (!stop) {
        char b = 0;
        bool fromBlock = false;
        if (!reader.Next(b, fromBlock)) b = Sub;
        if (keys && KeyPressed() && PaceKey(ReadKey(), pause)) {
            if (pacing.escFinishes)
                keys = false, pause = 0;
            else
                stop = true;
        }
        if (fromBlock && pause > 0 && reader.Position() % static_cast<std::size_t>(pause) == 0) {
            // What came before the pause is on the screen during it.
            interpreter.FeedPlain(run.Take());
            if (pacing.beforePause) (*pacing.beforePause)();
            Delay(6);
        }
        if (b == Sub) break;

        if (interpreter.IsPlain(b)) {
            run.Add(b);
            if (run.Full()) interpreter.FeedPlain(run.Take());
            // The plain characters right behind it in the block, while no
            // pause can fall due: the same steps, with less to decide for
            // each. Every one is still checked for keys before it is taken,
            // and one that finds a key is left to the steps above.
            char next = 0;
            while (!stop && pause == 0 && reader.PeekBlock(next) && IsPlainText(next) && !(keys && KeyPressed())) {
                reader.Skip();
                run.Add(next);
                if (run.Full()) interpreter.FeedPlain(run.Take());
            }
            continue;
        }
        interpreter.FeedPlain(run.Take());
        if (b != '|') {
            interpreter.Feed(b);
            continue;
        }
        char c1 = 0;
        char c2 = 0;
        bool unused = false;
        const bool have1 = reader.Next(c1, unused);
        const bool have2 = have1 && reader.Next(c2, unused);
        if (!have2) {
            // The file ends inside the code: the bar is drawn, drawing ends.
            interpreter.Feed('|');
            break;
        }
        const int code = PipeCodeNumber(c1, c2);
        if (code >= 0) {
            for (char ch : PipeSequence(code, target.Attr())) interpreter.Feed(ch, false);
        } else {
            interpreter.Feed('|');
            reader.GiveBack(c2);
            reader.GiveBack(c1);
        }
    }
    interpreter.FeedPlain(run.Take());
    if (pacing.beforePause) (*pacing.beforePause)();
}

}  // namespace

void SetRendererArguments(int argc, char** argv) { Arguments.assign(argv, argv + argc); }

void ShowAnsiFile(const std::string& FileName, int32_t PauseInterval) {
    std::string bytes;
    std::string error;
    if (!sys::ReadWholeFile(FileName, bytes, error)) {
        WriteLine("File " + FileName + " not found.");
        return;
    }
    ShowAnsiBytes(bytes, PauseInterval);
}

void ShowAnsiBytes(std::string_view Bytes, int32_t PauseInterval) {
    ScreenTarget screen;
    AnsiInterpreter<ScreenTarget> interpreter(screen);
    DrawPaced(Bytes, screen, interpreter, Pacing{PauseInterval});
}

void ShowAnsiPiece(std::string_view Bytes, int32_t PauseInterval, BlinkRule Blink, TCanvas& Canvas,
                   const std::function<void()>& BeforePause) {
    CanvasTarget target{Canvas};
    AnsiInterpreter<CanvasTarget> interpreter(target, PieceRules{true, Blink});
    DrawPaced(Bytes, target, interpreter, Pacing{PauseInterval, true, &BeforePause});
}

void RevealRowsPaced(int Rows, std::size_t BytesPerRow, int32_t PauseInterval, const std::function<void(int)>& Show) {
    if (conapi::ShowsPlainLines()) return Show(Rows);  // at once, keys left alone
    int32_t pause = PauseInterval;
    std::size_t read = 0;
    for (int row = 1; row <= Rows; ++row) {
        if (KeyPressed() && PaceKey(ReadKey(), pause)) break;  // Esc: the rest at once
        const std::size_t before = read;
        read += BytesPerRow;
        if (pause <= 0) continue;
        const auto step = static_cast<std::size_t>(pause);
        const std::size_t pauses = read / step - before / step;
        if (pauses == 0) continue;
        Show(row);
        Delay(static_cast<int>(std::min<std::size_t>(pauses, 1000)) * 6);
    }
    Show(Rows);
}

namespace {

void DrawAtOnce(std::string_view Bytes, TCanvas& Canvas, PieceRules rules) {
    CanvasTarget target{Canvas};
    AnsiInterpreter<CanvasTarget> interpreter(target, rules);
    // The screen's reading without its pace: bytes up to the end mark, pipe
    // codes as their sequences.
    for (std::size_t i = 0; i < Bytes.size() && Bytes[i] != Sub; ++i) {
        const char b = Bytes[i];
        if (b != '|') {
            interpreter.Feed(b);
            continue;
        }
        if (i + 2 >= Bytes.size()) {
            interpreter.Feed('|');
            break;
        }
        const int code = PipeCodeNumber(Bytes[i + 1], Bytes[i + 2]);
        if (code < 0) {
            interpreter.Feed('|');
            continue;
        }
        for (char ch : PipeSequence(code, Canvas.TextAttr)) interpreter.Feed(ch, false);
        i += 2;
    }
}

}  // namespace

void DrawAnsiOnCanvas(std::string_view Bytes, TCanvas& Canvas) { DrawAtOnce(Bytes, Canvas, PieceRules{}); }

void DrawAnsiPiece(std::string_view Bytes, BlinkRule Blink, TCanvas& Canvas) {
    DrawAtOnce(Bytes, Canvas, PieceRules{true, Blink});
}
