#include "console/term_keys.h"

#include <algorithm>
#include <array>
#include <optional>

#include "console/cp437.h"

namespace termkeys {
namespace {

using conapi::InputRecord;

constexpr char kEsc = 0x1B;
// Longest control sequence kept whole; longer ones are skipped.
constexpr std::size_t kMaxSequence = 32;
// The parameter of CSI n~ that starts a bracketed paste.
constexpr int kPasteStart = 200;
// What ends a bracketed paste.
constexpr std::string_view kPasteEnd = "\x1b[201~";

// Set 1 scan codes of the letters a..z.
// clang-format off
constexpr std::array<uint8_t, 26> kLetterScan = {
    30, 48, 46, 32, 18, 33, 34, 35, 23, 36, 37, 38, 50,
    49, 24, 25, 16, 19, 31, 20, 22, 47, 17, 45, 21, 44,
};
// clang-format on

struct Punct {
    char ch;
    uint16_t vk;
    uint8_t scan;
    bool shift;
};

// The punctuation keys of a US keyboard, unshifted and shifted.
// clang-format off
constexpr std::array<Punct, 33> kPunct = {{
    {' ', VkSpace, 57, false},
    {'!', '1', 2, true}, {'@', '2', 3, true}, {'#', '3', 4, true},
    {'$', '4', 5, true}, {'%', '5', 6, true}, {'^', '6', 7, true},
    {'&', '7', 8, true}, {'*', '8', 9, true}, {'(', '9', 10, true},
    {')', '0', 11, true},
    {'-', VkOemMinus, 12, false}, {'_', VkOemMinus, 12, true},
    {'=', VkOemPlus, 13, false}, {'+', VkOemPlus, 13, true},
    {'[', VkOem4, 26, false}, {'{', VkOem4, 26, true},
    {']', VkOem6, 27, false}, {'}', VkOem6, 27, true},
    {';', VkOem1, 39, false}, {':', VkOem1, 39, true},
    {'\'', VkOem7, 40, false}, {'"', VkOem7, 40, true},
    {'`', VkOem3, 41, false}, {'~', VkOem3, 41, true},
    {'\\', VkOem5, 43, false}, {'|', VkOem5, 43, true},
    {',', VkOemComma, 51, false}, {'<', VkOemComma, 51, true},
    {'.', VkOemPeriod, 52, false}, {'>', VkOemPeriod, 52, true},
    {'/', VkOem2, 53, false}, {'?', VkOem2, 53, true},
}};
// clang-format on

// The keys that arrive as sequences.
enum class Key { Up, Down, Right, Left, Home, End, PgUp, PgDn, Ins, Del, Clear, F1 };

// A sequence key; Fn counts from 1 for the function keys.
InputRecord NamedKey(Key key, int fn, uint32_t state) {
    constexpr uint32_t kEnh = conapi::EnhancedKey;
    switch (key) {
    case Key::Up: return Make(VkUp, 72, 0, state | kEnh);
    case Key::Down: return Make(VkDown, 80, 0, state | kEnh);
    case Key::Right: return Make(VkRight, 77, 0, state | kEnh);
    case Key::Left: return Make(VkLeft, 75, 0, state | kEnh);
    case Key::Home: return Make(VkHome, 71, 0, state | kEnh);
    case Key::End: return Make(VkEnd, 79, 0, state | kEnh);
    case Key::PgUp: return Make(VkPrior, 73, 0, state | kEnh);
    case Key::PgDn: return Make(VkNext, 81, 0, state | kEnh);
    case Key::Ins: return Make(VkInsert, 82, 0, state | kEnh);
    case Key::Del: return Make(VkDelete, 83, 0, state | kEnh);
    case Key::Clear: return Make(VkClear, 76, 0, state);
    case Key::F1: break;
    }
    const uint16_t vk = static_cast<uint16_t>(VkF1 + fn - 1);
    const uint16_t scan = fn <= 10 ? static_cast<uint16_t>(58 + fn) : static_cast<uint16_t>(76 + fn);
    return Make(vk, scan, 0, state);
}

InputRecord FnKey(int n, uint32_t state) { return NamedKey(Key::F1, n, state); }

// The xterm modifier parameter (1 + Shift 1, Alt 2, Ctrl 4, Meta 8) as
// control-key state; Meta counts as Alt.
uint32_t ModifierState(int param) {
    if (param < 2) return 0;
    const int bits = param - 1;
    uint32_t state = 0;
    if (bits & 1) state |= conapi::ShiftPressed;
    if (bits & (2 | 8)) state |= conapi::LeftAltPressed;
    if (bits & 4) state |= conapi::LeftCtrlPressed;
    return state;
}

// The keys of the CSI n~ form (VT220 and xterm; 7 and 8 are rxvt's Home
// and End).
std::optional<InputRecord> TildeKey(int n, uint32_t state) {
    switch (n) {
    case 1:
    case 7: return NamedKey(Key::Home, 0, state);
    case 2: return NamedKey(Key::Ins, 0, state);
    case 3: return NamedKey(Key::Del, 0, state);
    case 4:
    case 8: return NamedKey(Key::End, 0, state);
    case 5: return NamedKey(Key::PgUp, 0, state);
    case 6: return NamedKey(Key::PgDn, 0, state);
    case 11:
    case 12:
    case 13:
    case 14:
    case 15: return FnKey(n - 10, state);
    case 17:
    case 18:
    case 19:
    case 20:
    case 21: return FnKey(n - 11, state);
    case 23:
    case 24: return FnKey(n - 12, state);
    // rxvt and the linux console: Shift+F3..F10 have numbers of their own
    // (Shift+F1 and F2 share 23 and 24 with F11 and F12).
    case 25:
    case 26: return FnKey(n - 22, state | conapi::ShiftPressed);
    case 28:
    case 29: return FnKey(n - 23, state | conapi::ShiftPressed);
    case 31:
    case 32:
    case 33:
    case 34: return FnKey(n - 24, state | conapi::ShiftPressed);
    default: return std::nullopt;
    }
}

// The keys named by a final letter in CSI 1;mX and SS3 mX.
std::optional<InputRecord> LetterKey(char final, uint32_t state) {
    switch (final) {
    case 'A': return NamedKey(Key::Up, 0, state);
    case 'B': return NamedKey(Key::Down, 0, state);
    case 'C': return NamedKey(Key::Right, 0, state);
    case 'D': return NamedKey(Key::Left, 0, state);
    case 'H': return NamedKey(Key::Home, 0, state);
    case 'F': return NamedKey(Key::End, 0, state);
    case 'E': return NamedKey(Key::Clear, 0, state);
    case 'P':
    case 'Q':
    case 'R':
    case 'S': return FnKey(final - 'P' + 1, state);
    default: return std::nullopt;
    }
}

// rxvt's arrows: lower-case a..d are Up, Down, Right, Left.
std::optional<InputRecord> RxvtArrow(char final, uint32_t state) {
    if (final < 'a' || final > 'd') return std::nullopt;
    return LetterKey(static_cast<char>(final - 'a' + 'A'), state);
}

// The numeric keypad in application mode (SS3 j..y, M, X).
std::optional<InputRecord> KeypadKey(char final) {
    constexpr std::array<uint8_t, 10> kDigitScan = {82, 79, 80, 81, 75, 76, 77, 71, 72, 73};
    if (final >= 'p' && final <= 'y') {
        const int d = final - 'p';
        return Make(static_cast<uint16_t>(VkNumpad0 + d), kDigitScan[d], static_cast<uint8_t>('0' + d), 0);
    }
    switch (final) {
    case 'M': return Make(VkReturn, 28, 13, conapi::EnhancedKey);
    case 'j': return Make(VkMultiply, 55, '*', 0);
    case 'k': return Make(VkAdd, 78, '+', 0);
    case 'l': return Make(VkOemComma, 51, ',', 0);
    case 'm': return Make(VkSubtract, 74, '-', 0);
    case 'n': return Make(VkDecimal, 83, '.', 0);
    case 'o': return Make(VkDivide, 53, '/', conapi::EnhancedKey);
    case 'X': return Make(VkOemPlus, 13, '=', 0);
    default: return std::nullopt;
    }
}

bool IsParamByte(uint8_t b) { return b >= 0x30 && b <= 0x3F; }
bool IsIntermediate(uint8_t b) { return b >= 0x20 && b <= 0x2F; }
bool IsFinalByte(uint8_t b) { return b >= 0x40 && b <= 0x7E; }

// The numbers of a parameter string "n;m;..."; empty fields read as 0,
// big values are capped so that nothing overflows.
std::vector<int> Params(std::string_view p) {
    std::vector<int> out(1, 0);
    for (char c : p) {
        if (c == ';') {
            out.push_back(0);
        } else if (c >= '0' && c <= '9') {
            int& v = out.back();
            if (v < 100000) v = v * 10 + (c - '0');
        }
    }
    return out;
}

// One decoding step over the front of the pending bytes.
struct Step {
    bool more = false;     // unfinished: wait for more bytes
    std::size_t used = 0;  // bytes consumed
    std::optional<InputRecord> rec;
    bool skip = false;   // an over-long sequence: skip its rest
    bool paste = false;  // a bracketed paste starts after it
};

Step NeedMore() { return Step{true, 0, std::nullopt, false}; }
Step Drop(std::size_t n) { return Step{false, n, std::nullopt, false}; }
// A sequence that names no key (Rec empty) is consumed and dropped.
Step Emit(std::size_t n, std::optional<InputRecord> rec) { return Step{false, n, rec, false}; }
Step StartPaste(std::size_t n) { return Step{false, n, std::nullopt, false, true}; }

Step WithAlt(Step s) {
    if (s.rec) s.rec->ControlState |= conapi::LeftAltPressed;
    return s;
}

// The CSI sequence at the front of S (S starts after "ESC [").
// Answers the step relative to S.
Step DecodeCsi(std::string_view s) {
    if (s.empty()) return NeedMore();
    // linux console: ESC [ [ A..E are F1..F5.
    if (s[0] == '[') {
        if (s.size() < 2) return NeedMore();
        const char c = s[1];
        if (c >= 'A' && c <= 'E') return Emit(2, FnKey(c - 'A' + 1, 0));
        return Drop(IsFinalByte(static_cast<uint8_t>(c)) ? 2 : 1);
    }
    std::size_t i = 0;
    while (i < s.size() && IsParamByte(static_cast<uint8_t>(s[i]))) ++i;
    std::size_t paramEnd = i;
    // rxvt ends its Shift forms with '$', which ECMA-48 calls an
    // intermediate byte; it is always the last byte there.
    if (i < kMaxSequence && i < s.size() && s[i] == '$') {
        const auto p = Params(s.substr(0, paramEnd));
        return Emit(i + 1, TildeKey(p[0], conapi::ShiftPressed));
    }
    while (i < s.size() && IsIntermediate(static_cast<uint8_t>(s[i]))) ++i;
    // An over-long sequence is nothing of ours however it was read: whole
    // in one read it is dropped here, split over reads the decoder skips
    // its rest as it comes, and both end at the same byte.
    if (i >= kMaxSequence) {
        // Like the skipping: parameter and intermediate bytes in any order
        // up to a final byte, which goes with them.
        while (i < s.size() && (IsParamByte(static_cast<uint8_t>(s[i])) || IsIntermediate(static_cast<uint8_t>(s[i]))))
            ++i;
        if (i >= s.size()) return Step{false, s.size(), std::nullopt, true};
        return Drop(IsFinalByte(static_cast<uint8_t>(s[i])) ? i + 1 : i);
    }
    if (i >= s.size()) return NeedMore();
    const uint8_t f = static_cast<uint8_t>(s[i]);
    // A control byte inside the sequence breaks it off; the byte itself is
    // decoded again as input of its own.
    if (!IsFinalByte(f)) return Drop(i);
    const std::size_t used = i + 1;
    const std::string_view paramText = s.substr(0, paramEnd);
    if (paramEnd != i) return Drop(used);  // intermediates: nothing of ours
    if (!paramText.empty() && !(paramText[0] >= '0' && paramText[0] <= ';'))
        return Drop(used);  // private markers < = > ?: replies, not keys
    const auto p = Params(paramText);
    const int mod = p.size() >= 2 ? p[1] : 1;
    const char fc = static_cast<char>(f);
    switch (fc) {
    case '~':
        if (p.size() == 1 && p[0] == kPasteStart) return StartPaste(used);
        return Emit(used, TildeKey(p[0], ModifierState(mod)));
    case '^': return Emit(used, TildeKey(p[0], conapi::LeftCtrlPressed));
    case '@':
        if (paramText.empty()) return Drop(used);
        return Emit(used, TildeKey(p[0], conapi::LeftCtrlPressed | conapi::ShiftPressed));
    case 'Z': return Emit(used, Make(VkTab, 15, 9, conapi::ShiftPressed));
    case 'a':
    case 'b':
    case 'c':
    case 'd': return Emit(used, RxvtArrow(fc, conapi::ShiftPressed));
    default: return Emit(used, LetterKey(fc, ModifierState(mod)));
    }
}

// The SS3 sequence at the front of S (S starts after "ESC O"): an optional
// modifier number, then the final byte.
Step DecodeSs3(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9' && i < 4) ++i;
    if (i >= s.size()) return NeedMore();
    const uint8_t f = static_cast<uint8_t>(s[i]);
    if (!IsFinalByte(f)) return Drop(i);
    const char fc = static_cast<char>(f);
    const auto p = Params(s.substr(0, i));
    const uint32_t state = ModifierState(i > 0 ? p[0] : 1);
    if (auto rec = LetterKey(fc, state)) return Emit(i + 1, rec);
    if (fc >= 'a' && fc <= 'd') return Emit(i + 1, RxvtArrow(fc, conapi::LeftCtrlPressed | state));
    return Emit(i + 1, KeypadKey(fc));
}

// Length of the UTF-8 sequence a lead byte starts; 0 for a byte that
// cannot start one.
std::size_t Utf8Length(uint8_t lead) {
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

// One 8-bit character that is not ASCII: a key with no key code of a US
// keyboard, only the character (as a console reports composed letters).
InputRecord CharKey(uint8_t ch) { return Make(0, 0, ch, 0); }

// A plain key (no ESC) at the front of S.
Step DecodePlain(std::string_view s, bool utf8) {
    const uint8_t b = static_cast<uint8_t>(s[0]);
    if (b < 0x80) return Emit(1, AsciiKey(b));
    if (!utf8) return Emit(1, CharKey(b));
    const std::size_t len = Utf8Length(b);
    if (len == 0) return Drop(1);
    char32_t cp = b & (0xFF >> (len + 1));
    for (std::size_t k = 1; k < len; ++k) {
        if (k >= s.size()) return NeedMore();
        const uint8_t c = static_cast<uint8_t>(s[k]);
        if ((c & 0xC0) != 0x80) return Drop(1);  // broken: drop the lead only
        cp = (cp << 6) | (c & 0x3F);
    }
    if (auto ch = cp437::FromUnicode(cp)) return Emit(len, CharKey(*ch));
    return Drop(len);
}

// One piece of pasted text at the front of S (not empty): a character, a
// control byte, the end marker, or bytes that make nothing.
struct PastePiece {
    bool more = false;  // unfinished: wait for more bytes
    std::size_t used = 0;
    bool end = false;
    std::optional<uint8_t> ch;
    bool control = false;  // Ch is a control byte as sent, not a character
};

PastePiece NextPastePiece(std::string_view s, bool utf8) {
    const uint8_t b = static_cast<uint8_t>(s[0]);
    if (b == kEsc) {
        const std::size_t n = std::min(s.size(), kPasteEnd.size());
        // Any other ESC is a control byte of the text: dropped.
        if (s.substr(0, n) != kPasteEnd.substr(0, n)) return PastePiece{false, 1, false, std::nullopt, false};
        if (n < kPasteEnd.size()) return PastePiece{true, 0, false, std::nullopt, false};
        return PastePiece{false, n, true, std::nullopt, false};
    }
    if (b < 0x20 || b == 0x7F) return PastePiece{false, 1, false, b, true};
    if (b < 0x80 || !utf8) return PastePiece{false, 1, false, b, false};
    // A character as typed: the same UTF-8 rules.
    const Step st = DecodePlain(s, utf8);
    if (st.more) return PastePiece{true, 0, false, std::nullopt, false};
    std::optional<uint8_t> ch;
    if (st.rec) ch = st.rec->Char;
    return PastePiece{false, st.used, false, ch, false};
}

// One key at the front of S (not empty). With Final set, nothing more will
// come: unfinished input is resolved now.
Step DecodeOne(std::string_view s, bool utf8, bool final) {
    if (s[0] != kEsc) {
        Step st = DecodePlain(s, utf8);
        if (st.more && final) return Drop(s.size());
        return st;
    }
    if (s.size() == 1) return final ? Emit(1, AsciiKey(kEsc)) : NeedMore();
    const char second = s[1];
    if (second == '[' || second == 'O') {
        Step st = second == '[' ? DecodeCsi(s.substr(2)) : DecodeSs3(s.substr(2));
        if (st.more) {
            if (!final) return NeedMore();
            // ESC [ or ESC O and nothing after it: Alt with that key.
            if (s.size() == 2) return WithAlt(Emit(2, AsciiKey(static_cast<uint8_t>(second))));
            return Drop(s.size());
        }
        st.used += 2;
        return st;
    }
    if (second == kEsc) {
        // ESC ESC [ ... is Alt with a sequence key (rxvt); otherwise the
        // first ESC is the Esc key on its own.
        if (s.size() == 2) return final ? Emit(1, AsciiKey(kEsc)) : NeedMore();
        if (s[2] == '[' || s[2] == 'O') {
            Step st = DecodeOne(s.substr(1), utf8, final);
            if (!st.more) st.used += 1;
            return WithAlt(st);
        }
        return Emit(1, AsciiKey(kEsc));
    }
    // ESC followed by an ordinary key: Alt+key.
    Step st = DecodePlain(s.substr(1), utf8);
    if (st.more) return final ? Drop(s.size()) : NeedMore();
    st.used += 1;
    return WithAlt(st);
}

}  // namespace

InputRecord AsciiKey(uint8_t byte) {
    constexpr uint32_t kCtrl = conapi::LeftCtrlPressed;
    constexpr uint32_t kShift = conapi::ShiftPressed;
    const char c = static_cast<char>(byte);
    if (c >= 'a' && c <= 'z') return Make(static_cast<uint16_t>('A' + (c - 'a')), kLetterScan[c - 'a'], byte, 0);
    if (c >= 'A' && c <= 'Z') return Make(static_cast<uint16_t>(c), kLetterScan[c - 'A'], byte, kShift);
    if (c >= '1' && c <= '9') return Make(static_cast<uint16_t>(c), static_cast<uint16_t>(c - '1' + 2), byte, 0);
    if (c == '0') return Make('0', 11, byte, 0);
    for (const Punct& p : kPunct)
        if (p.ch == c) return Make(p.vk, p.scan, byte, p.shift ? kShift : 0);
    switch (byte) {
    case 0x00: return Make('2', 3, 0, kCtrl);  // Ctrl+@ / Ctrl+Space
    case 0x08:
    case 0x7F: return Make(VkBack, 14, 8, 0);
    case 0x09: return Make(VkTab, 15, 9, 0);
    case 0x0A:
    case 0x0D: return Make(VkReturn, 28, 13, 0);
    case 0x1B: return Make(VkEscape, 1, 27, 0);
    case 0x1C: return Make(VkOem5, 43, byte, kCtrl);
    case 0x1D: return Make(VkOem6, 27, byte, kCtrl);
    case 0x1E: return Make('6', 7, byte, kCtrl | kShift);
    case 0x1F: return Make(VkOemMinus, 12, byte, kCtrl | kShift);
    default: break;
    }
    // 0x01..0x1A: Ctrl with a letter.
    const int letter = byte - 1;
    return Make(static_cast<uint16_t>('A' + letter), kLetterScan[letter], byte, kCtrl);
}

void Decoder::Feed(std::string_view bytes, std::vector<conapi::InputRecord>& out) {
    for (char c : bytes) {
        if (skipping_) {
            const uint8_t b = static_cast<uint8_t>(c);
            if (IsParamByte(b) || IsIntermediate(b)) continue;
            skipping_ = false;
            if (IsFinalByte(b)) continue;
        }
        pending_.push_back(c);
    }
    Decode(false, out);
}

void Decoder::Expire(std::vector<conapi::InputRecord>& out) { Decode(true, out); }

void KeyInput::Feed(std::string_view bytes, uint64_t nowNs, std::vector<conapi::InputRecord>& out) {
    if (bytes.empty()) return;
    // Bytes read once the wait for the rest of a sequence is over are a
    // key of their own: a reader who was slow to wake must not turn Esc
    // and the next key into Alt+key.
    ExpireIfDue(nowNs, out);
    lastInputNs_ = nowNs;
    decoder_.Feed(bytes, out);
}

void KeyInput::ExpireIfDue(uint64_t nowNs, std::vector<conapi::InputRecord>& out) {
    // Compared as "now has reached the due time", never as a difference:
    // a time read before the last bytes came must not wrap into a long wait.
    if (decoder_.Pending() && nowNs >= DueNs()) decoder_.Expire(out);
}

int KeyInput::MsUntilDue(uint64_t nowNs) const {
    if (!decoder_.Pending()) return -1;
    if (nowNs >= DueNs()) return 0;
    return static_cast<int>((DueNs() - nowNs + 999'999u) / 1'000'000u);
}

void Decoder::Decode(bool final, std::vector<conapi::InputRecord>& out) {
    std::size_t pos = 0;
    while (pos < pending_.size()) {
        if (pasting_) {
            if (!TakePaste(pos, final, out)) break;
            continue;
        }
        const Step st = DecodeOne(std::string_view(pending_).substr(pos), utf8_, final);
        if (st.more) break;
        pos += st.used;
        if (st.rec) out.push_back(*st.rec);
        // The rest of an over-long sequence is dropped as it arrives.
        if (st.skip) skipping_ = true;
        if (st.paste) {
            pasting_ = true;
            afterCr_ = false;
            pasted_.clear();
        }
    }
    pending_.erase(0, pos);
    // Nothing more will come: the paste ends with what came.
    if (final && pasting_) EndPaste(out);
}

bool Decoder::TakePaste(std::size_t& pos, bool final, std::vector<conapi::InputRecord>& out) {
    while (pos < pending_.size()) {
        const PastePiece piece = NextPastePiece(std::string_view(pending_).substr(pos), utf8_);
        if (piece.more) {
            if (!final) return false;
            pos = pending_.size();  // a piece cut off for good: dropped
            return true;
        }
        pos += piece.used;
        if (piece.end) {
            EndPaste(out);
            return true;
        }
        if (!piece.ch) continue;
        const uint8_t ch = *piece.ch;
        if (!piece.control) {
            AddPasted(ch);
        } else if (ch == '\r' || ch == '\n') {
            if (!(ch == '\n' && afterCr_)) AddPasted(' ');
            afterCr_ = ch == '\r';
            continue;
        } else if (ch == '\t') {
            AddPasted(' ');
        }
        afterCr_ = false;
    }
    return true;
}

void Decoder::AddPasted(uint8_t ch) {
    if (pasted_.size() < kMaxPasteChars) pasted_.push_back(static_cast<char>(ch));
}

void Decoder::EndPaste(std::vector<conapi::InputRecord>& out) {
    pasting_ = false;
    if (pasted_.empty()) return;  // nothing to take
    conapi::InputRecord rec;
    rec.Type = conapi::EventType::Paste;
    for (char c : pasted_) {
        rec.Char = static_cast<uint8_t>(c);
        out.push_back(rec);
    }
    rec.Char = 0;
    rec.KeyDown = false;
    out.push_back(rec);
    pasted_.clear();
}

conapi::InputRecord Make(uint16_t vk, uint16_t scan, uint8_t ch, uint32_t state) {
    conapi::InputRecord rec;
    rec.Type = conapi::EventType::Key;
    rec.KeyDown = true;
    rec.VirtualKey = vk;
    rec.ScanCode = scan;
    rec.Char = ch;
    rec.ControlState = state;
    return rec;
}

}  // namespace termkeys
