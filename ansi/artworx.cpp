#include "ansi/artworx.h"

#include <array>

#include "ansi/art_bytes.h"

namespace {

constexpr int kWidth = 80;
constexpr std::size_t kRegisters = 64, kGlyphRows = 16, kFontSize = 256 * kGlyphRows;
// The register each of the sixteen attribute colours shows, as the EGA
// palette maps them.
constexpr std::array<std::size_t, 16> kAttributeRegister = {0, 1, 2, 3, 4, 5, 20, 7, 56, 57, 58, 59, 60, 61, 62, 63};

}  // namespace

bool ReadArtworx(std::string_view data, Art& art, ArtProblem& problem) {
    data = WithoutEndOfFile(data, art.Record);
    ByteReader in(data);
    uint8_t version = 0;
    if (!in.Byte(version)) return Refuse(problem, 0, "the file is empty");
    std::array<uint32_t, kRegisters> registers{};
    if (!ReadSixBitColours(in, registers.size(), registers.data(), problem)) return false;
    PairLook look;
    for (std::size_t i = 0; i < look.Palette.size(); ++i) look.Palette[i] = registers[kAttributeRegister[i]];
    look.StandardPalette = IsStandardPalette(look.Palette);

    std::string_view glyphs;
    const std::size_t fontAt = in.Offset();
    if (!in.Bytes(kFontSize, glyphs))
        return Refuse(problem, fontAt,
                      "the font of 256 glyphs of 16 rows takes 4096 bytes from byte " + std::to_string(fontAt) +
                          ", but only " + std::to_string(in.Left()) + " are there");
    art.Font = ArtFont{static_cast<int>(kGlyphRows), 256, std::string(glyphs)};

    const std::size_t imageAt = in.Offset();
    const std::size_t pairs = in.Left() / 2;
    if (pairs == 0) return Refuse(problem, imageAt, "the file ends with its font: it holds no image");
    const std::size_t rows = (pairs + kWidth - 1) / kWidth;
    if (!CheckHeight(rows, imageAt + 2 * kWidth * TCanvas::MaxRows, problem)) return false;

    art.BrightBackgrounds = true;
    art.Canvas = TCanvas(kWidth);
    CellRows(art.Canvas, look, kWidth, pairs).PutPairs(data.substr(imageAt));
    return true;
}
