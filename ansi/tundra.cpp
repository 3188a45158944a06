#include "ansi/tundra.h"

#include <algorithm>

#include "ansi/art_bytes.h"

namespace {

constexpr std::string_view kId = "\x18TUNDRA24";
constexpr uint8_t kPosition = 1, kForeground = 2, kBackground = 4, kBoth = 6;
constexpr uint8_t kCharacterData = 1, kTundraFile = 8;

// The columns a TundraDraw record gives; 0 for none.
int RecordWidth(const Sauce& record) {
    const bool gives = record.Present && record.DataType == kCharacterData && record.FileType == kTundraFile;
    return gives ? record.Width : 0;
}

class Stream {
public:
    Stream(std::string_view data, Art& art, int width) : in_(data, kId.size()), art_(art), width_(width) {}

    bool Read(ArtProblem& problem) {
        while (!in_.AtEnd()) {
            at_ = in_.Offset();
            uint8_t byte = 0;
            in_.Byte(byte);
            if (!Act(byte, problem)) return false;
        }
        return true;
    }

private:
    bool Act(uint8_t byte, ArtProblem& problem) {
        switch (byte) {
        case kPosition: return Position(problem);
        case kForeground:
        case kBackground:
        case kBoth: {
            uint8_t ch = 0;
            if (!in_.Byte(ch)) return Cut(problem);
            if (byte != kBackground && !in_.BigLong(fore_)) return Cut(problem);
            if (byte != kForeground && !in_.BigLong(back_)) return Cut(problem);
            return Draw(ch, problem);
        }
        default: return Draw(byte, problem);
        }
    }

    bool Position(ArtProblem& problem) {
        uint32_t row = 0, col = 0;
        if (!in_.BigLong(row) || !in_.BigLong(col)) return Cut(problem);
        if (row >= static_cast<uint32_t>(TCanvas::MaxRows) || col >= static_cast<uint32_t>(width_))
            return Refuse(problem, at_,
                          "the command at byte " + std::to_string(at_) + " puts the cursor at row " +
                              std::to_string(row) + ", column " + std::to_string(col) + ", outside the page of " +
                              std::to_string(width_) + " columns and " + std::to_string(TCanvas::MaxRows) + " rows");
        row_ = static_cast<int>(row);
        col_ = static_cast<int>(col);
        return true;
    }

    bool Draw(uint8_t ch, ArtProblem& problem) {
        if (row_ >= TCanvas::MaxRows)
            return Refuse(problem, at_,
                          "the art runs past " + std::to_string(TCanvas::MaxRows) + " rows at byte " +
                              std::to_string(at_) + ", more than the gallery holds");
        art_.Canvas.Put(col_ + 1, row_ + 1, OwnColourCell(ch, fore_, back_));
        if (++col_ == width_) {
            col_ = 0;
            ++row_;
        }
        return true;
    }

    bool Cut(ArtProblem& problem) const {
        return Refuse(problem, at_, "the command at byte " + std::to_string(at_) + " stops at the end of the file");
    }

    ByteReader in_;
    Art& art_;
    int width_;
    std::size_t at_ = 0;  // where the byte being read begins
    int row_ = 0, col_ = 0;
    uint32_t fore_ = 0, back_ = 0;
};

}  // namespace

bool ReadTundra(std::string_view data, Art& art, ArtProblem& problem) {
    const int recordWidth = RecordWidth(art.Record);
    if (!CheckWidth(static_cast<uint64_t>(recordWidth), RecordFieldOffset(data, art.Record, kRecordWidth), problem))
        return false;
    data = WithoutEndOfFile(data, art.Record);
    if (!data.starts_with(kId))
        return Refuse(problem, 0, "the file does not begin with the TundraDraw header (a byte 24 and \"TUNDRA24\")");
    const int width = std::max(recordWidth, TCanvas::MinCols);
    art.Canvas = TCanvas(width);
    // Every cell carries its colours; its attribute is only their nearest.
    art.BrightBackgrounds = true;
    return Stream(data, art, width).Read(problem);
}
