#include "ansi/pcboard.h"

#include <algorithm>

#include "ansi/art_bytes.h"

namespace {

constexpr uint8_t kCharacterData = 1, kPcBoardFile = 4;
constexpr char kEndOfFile = 26;
constexpr int kTabColumns = 8;

int RecordWidth(const Sauce& record) {
    const bool gives = record.Present && record.DataType == kCharacterData && record.FileType == kPcBoardFile;
    return gives ? record.Width : 0;
}

// The value of an upper-case hex digit, or -1.
int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The cursor on the page, with the deferred wrap of a full row.
class Page {
public:
    Page(Art& art, int width) : art_(art), width_(width) { Clear(); }

    void Clear() {
        art_.Canvas = TCanvas(width_);
        col_ = row_ = 0;
        wrapPending_ = false;
    }
    // False when the character would land past the last row.
    bool Draw(uint8_t ch) {
        if (wrapPending_) {
            wrapPending_ = false;
            col_ = 0;
            ++row_;
        }
        if (row_ >= TCanvas::MaxRows) return false;
        art_.Canvas.Put(col_ + 1, row_ + 1, conapi::Cell{ch, Attr});
        if (col_ + 1 < width_)
            ++col_;
        else
            wrapPending_ = true;
        return true;
    }
    void LineFeed() {
        wrapPending_ = false;
        col_ = 0;
        ++row_;
    }
    // Column is counted from 1 and kept on the row.
    void MoveTo(int column) {
        wrapPending_ = false;
        col_ = std::clamp(column, 1, width_) - 1;
    }
    void Tab() { MoveTo(col_ + 1 + kTabColumns); }

    uint8_t Attr = 7;

private:
    Art& art_;
    int width_;
    int col_ = 0, row_ = 0;
    bool wrapPending_ = false;
};

class Reader {
public:
    Reader(std::string_view text, Page& page) : text_(text), page_(page) {}

    bool Read(ArtProblem& problem) {
        while (at_ < text_.size()) {
            const char c = text_[at_];
            if (c == '@') {
                if (!Code(problem)) return false;
                continue;
            }
            ++at_;
            if (c == '\r') continue;
            if (c == '\n') {
                page_.LineFeed();
            } else if (c == '\t') {
                page_.Tab();
            } else if (!page_.Draw(static_cast<uint8_t>(c))) {
                return Refuse(problem, at_ - 1,
                              "the art runs past " + std::to_string(TCanvas::MaxRows) + " rows at byte " +
                                  std::to_string(at_ - 1) + ", more than the gallery holds");
            }
        }
        return true;
    }

private:
    bool Next(std::string_view word) const { return text_.substr(at_).starts_with(word); }

    // The code at an "@": a colour, a clear, a column, or an "@" not drawn.
    bool Code(ArtProblem& problem) {
        if (Next("@X") && text_.size() - at_ >= 4) return Colour(problem);
        if (Next("@CLS@")) {
            page_.Clear();
            at_ += 5;
            return true;
        }
        if (Next("@POS:") && Position()) return true;
        ++at_;
        return true;
    }

    bool Colour(ArtProblem& problem) {
        const int back = HexValue(text_[at_ + 2]), fore = HexValue(text_[at_ + 3]);
        if (back < 0 || fore < 0)
            return Refuse(problem, at_,
                          "the colour code at byte " + std::to_string(at_) +
                              " is \"@X\" and two characters that are "
                              "not hex digits 0-9 and A-F");
        page_.Attr = static_cast<uint8_t>(back << 4 | fore);
        at_ += 4;
        return true;
    }

    // "@POS:" and one to three digits and "@"; false for anything else.
    bool Position() {
        std::size_t end = at_ + 5;
        int column = 0;
        while (end < text_.size() && end - at_ - 5 < 3 && text_[end] >= '0' && text_[end] <= '9')
            column = column * 10 + (text_[end++] - '0');
        if (end == at_ + 5 || end >= text_.size() || text_[end] != '@') return false;
        page_.MoveTo(column);
        at_ = end + 1;
        return true;
    }

    std::string_view text_;
    Page& page_;
    std::size_t at_ = 0;
};

}  // namespace

bool ReadPcBoard(std::string_view data, Art& art, ArtProblem& problem) {
    const int recordWidth = RecordWidth(art.Record);
    if (!CheckWidth(static_cast<uint64_t>(recordWidth), RecordFieldOffset(data, art.Record, kRecordWidth), problem))
        return false;
    art.BrightBackgrounds = true;
    Page page(art, std::max(recordWidth, TCanvas::MinCols));
    // The art ends at the first byte 26.
    return Reader(data.substr(0, data.find(kEndOfFile)), page).Read(problem);
}
