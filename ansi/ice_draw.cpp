#include "ansi/ice_draw.h"

#include <cctype>

#include "ansi/art_bytes.h"

namespace {

constexpr std::size_t kHeaderSize = 12, kFontSize = 256 * 16, kPaletteSize = 16 * 3;
constexpr std::size_t kX1At = 4, kY1At = 6, kX2At = 8;

struct Box {
    uint16_t X1 = 0, Y1 = 0, X2 = 0, Y2 = 0;
};

bool ReadHeader(std::string_view data, Box& box, ArtProblem& problem) {
    if (data.size() < kHeaderSize || data[0] != '\x04' || data[1] != '1' || data[2] != '.' ||
        !std::isdigit(static_cast<unsigned char>(data[3])))
        return Refuse(problem, 0, "the file does not begin with the iCE Draw header (a byte 4 and \"1.4\")");
    ByteReader in(data, kX1At);
    in.Word(box.X1);
    in.Word(box.Y1);
    in.Word(box.X2);
    in.Word(box.Y2);
    if (box.X1 > box.X2)
        return Refuse(problem, kX1At,
                      "the header's box begins at column " + std::to_string(box.X1) + ", right of its end at " +
                          std::to_string(box.X2));
    if (box.Y1 > box.Y2)
        return Refuse(problem, kY1At,
                      "the header's box begins at row " + std::to_string(box.Y1) + ", below its end at " +
                          std::to_string(box.Y2));
    return CheckWidth(uint64_t{box.X2} + 1, kX2At, problem);
}

bool TooTall(ArtProblem& problem, std::size_t at) {
    return Refuse(problem, at,
                  "the pairs from byte " + std::to_string(at) + " on run past " + std::to_string(TCanvas::MaxRows) +
                      " rows, more than the gallery holds");
}

bool ReadImage(std::string_view data, std::size_t end, CellRows& cells, ArtProblem& problem) {
    ByteReader in(data.substr(0, end), kHeaderSize);
    while (!in.AtEnd()) {
        const std::size_t at = in.Offset();
        uint8_t ch = 0, attr = 0;
        if (!in.Byte(ch) || !in.Byte(attr))
            return Refuse(problem, at, "the character at byte " + std::to_string(at) + " has no attribute");
        if (ch != 1 || attr != 0) {
            if (!cells.Put(ch, attr)) return TooTall(problem, at);
            continue;
        }
        uint8_t count = 0, ignored = 0;
        if (!in.Byte(count) || !in.Byte(ignored) || !in.Byte(ch) || !in.Byte(attr))
            return Refuse(problem, at, "the run at byte " + std::to_string(at) + " stops before its pair");
        for (int i = 0; i < count; ++i)
            if (!cells.Put(ch, attr)) return TooTall(problem, at);
    }
    return true;
}

}  // namespace

bool ReadIceDraw(std::string_view data, Art& art, ArtProblem& problem) {
    data = WithoutEndOfFile(data, art.Record);
    Box box;
    if (!ReadHeader(data, box, problem)) return false;
    if (data.size() < kHeaderSize + kFontSize + kPaletteSize)
        return Refuse(problem, data.size(),
                      "the file is " + std::to_string(data.size()) +
                          " bytes long, too short for its header, a font of 4096 bytes and a palette of 48");
    const std::size_t fontAt = data.size() - kFontSize - kPaletteSize;

    PairLook look;
    ByteReader palette(data, fontAt + kFontSize);
    if (!ReadSixBitColours(palette, look.Palette.size(), look.Palette.data(), problem)) return false;
    look.StandardPalette = IsStandardPalette(look.Palette);
    art.Font = ArtFont{16, 256, std::string(data.substr(fontAt, kFontSize))};
    art.BrightBackgrounds = true;

    const std::size_t width = std::size_t{box.X2} + 1;
    art.Canvas = TCanvas(static_cast<int>(width));
    CellRows cells(art.Canvas, look, width, width * TCanvas::MaxRows);
    if (!ReadImage(data, fontAt, cells, problem)) return false;
    if (cells.Count() == 0) return Refuse(problem, kHeaderSize, "the file holds no image before its font");
    return true;
}
