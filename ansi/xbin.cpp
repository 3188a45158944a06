#include "ansi/xbin.h"

#include "ansi/art_bytes.h"

namespace {

constexpr std::string_view kId("XBIN\x1a", 5);
constexpr std::size_t kWidthAt = 5, kHeightAt = 7, kFontHeightAt = 9, kFlagsAt = 10;
constexpr uint8_t kHasPalette = 1, kHasFont = 2, kCompressed = 4, kNonBlink = 8, kGlyphs512 = 16;
constexpr int kMaxFontHeight = 32, kStandardFontHeight = 16;

struct Header {
    uint16_t Width = 0, Height = 0;
    uint8_t FontHeight = 0, Flags = 0;
};

bool ReadHeader(ByteReader& in, Header& h, ArtProblem& problem) {
    std::string_view id;
    if (!in.Bytes(kId.size(), id) || id != kId)
        return Refuse(problem, 0, "the file does not begin with the XBIN header (\"XBIN\" and a byte 26)");
    if (!in.Word(h.Width) || !in.Word(h.Height) || !in.Byte(h.FontHeight) || !in.Byte(h.Flags))
        return Refuse(problem, in.Offset(), "the XBIN header stops short: it takes 11 bytes");
    if (h.Width == 0) return Refuse(problem, kWidthAt, "the header gives the picture no columns");
    if (!CheckWidth(h.Width, kWidthAt, problem)) return false;
    if (h.Height == 0) return Refuse(problem, kHeightAt, "the header gives the picture no rows");
    if (!CheckHeight(h.Height, kHeightAt, problem)) return false;
    const bool font = (h.Flags & kHasFont) != 0;
    if (h.FontHeight > kMaxFontHeight || (font && h.FontHeight == 0))
        return Refuse(problem, kFontHeightAt,
                      "the font is " + std::to_string(h.FontHeight) + " rows high; a font has 1 to 32");
    if ((h.Flags & kGlyphs512) && !font)
        return Refuse(problem, kFlagsAt, "the flags ask for 512 characters but the file carries no font");
    return true;
}

bool ReadPalette(ByteReader& in, PairLook& look, ArtProblem& problem) {
    if (!ReadSixBitColours(in, look.Palette.size(), look.Palette.data(), problem)) return false;
    look.StandardPalette = IsStandardPalette(look.Palette);
    return true;
}

bool ReadFont(ByteReader& in, ArtFont& font, ArtProblem& problem) {
    const std::size_t size = static_cast<std::size_t>(font.Count) * static_cast<std::size_t>(font.Height);
    const std::size_t at = in.Offset();
    std::string_view glyphs;
    if (!in.Bytes(size, glyphs))
        return Refuse(problem, at,
                      "the font of " + std::to_string(font.Count) + " glyphs of " + std::to_string(font.Height) +
                          " rows takes " + std::to_string(size) + " bytes from byte " + std::to_string(at) +
                          ", but only " + std::to_string(in.Left()) + " are there");
    font.Glyphs = std::string(glyphs);
    return true;
}

bool ShortImage(ArtProblem& problem, std::size_t at, const CellRows& cells, std::size_t most) {
    return Refuse(problem, at,
                  "the image stops at byte " + std::to_string(at) + " after " + std::to_string(cells.Count()) +
                      " of its " + std::to_string(most) + " cells");
}

bool ReadRawImage(ByteReader& in, CellRows& cells, std::size_t most, ArtProblem& problem) {
    while (!cells.Full()) {
        uint8_t ch = 0, attr = 0;
        if (!in.Byte(ch) || !in.Byte(attr)) return ShortImage(problem, in.Offset(), cells, most);
        cells.Put(ch, attr);
    }
    return true;
}

// One run: its kind in the top two bits of its first byte, its length less
// one in the low six. A run longer than the cells the picture has left is
// drawn as far as they go.
bool ReadRun(ByteReader& in, CellRows& cells, ArtProblem& problem) {
    const std::size_t at = in.Offset();
    uint8_t head = 0;
    in.Byte(head);
    const int length = (head & 0x3F) + 1;
    const int kind = head >> 6;
    auto cut = [&] {
        return Refuse(problem, at,
                      "the run at byte " + std::to_string(at) + " of " + std::to_string(length) +
                          " cells stops at the end of the file");
    };
    uint8_t ch = 0, attr = 0;
    if ((kind == 1 || kind == 3) && !in.Byte(ch)) return cut();
    if ((kind == 2 || kind == 3) && !in.Byte(attr)) return cut();
    for (int i = 0; i < length; ++i) {
        if ((kind == 0 || kind == 2) && !in.Byte(ch)) return cut();
        if ((kind == 0 || kind == 1) && !in.Byte(attr)) return cut();
        cells.Put(ch, attr);
    }
    return true;
}

bool ReadCompressedImage(ByteReader& in, CellRows& cells, std::size_t most, ArtProblem& problem) {
    while (!cells.Full()) {
        if (in.AtEnd()) return ShortImage(problem, in.Offset(), cells, most);
        if (!ReadRun(in, cells, problem)) return false;
    }
    return true;
}

}  // namespace

bool ReadXBin(std::string_view data, Art& art, ArtProblem& problem) {
    ByteReader in(data);
    Header header;
    if (!ReadHeader(in, header, problem)) return false;

    PairLook look;
    look.BrightBackgrounds = (header.Flags & kNonBlink) != 0;
    look.Glyphs512 = (header.Flags & kGlyphs512) != 0;
    if ((header.Flags & kHasPalette) && !ReadPalette(in, look, problem)) return false;
    art.Font.Height = header.FontHeight == 0 ? kStandardFontHeight : header.FontHeight;
    art.Font.Count = look.Glyphs512 ? 512 : 256;
    if ((header.Flags & kHasFont) && !ReadFont(in, art.Font, problem)) return false;
    art.BrightBackgrounds = look.BrightBackgrounds;

    const std::size_t most = static_cast<std::size_t>(uint64_t{header.Width} * header.Height);
    art.Canvas = TCanvas(header.Width);
    CellRows cells(art.Canvas, look, header.Width, most);
    return (header.Flags & kCompressed) ? ReadCompressedImage(in, cells, most, problem)
                                        : ReadRawImage(in, cells, most, problem);
}
