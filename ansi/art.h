// A piece of scene art, read from its file in whichever format it was saved:
// ANSI (with or without 24-bit and 256-colour sequences), a binary screen
// (BIN), XBIN, Artworx (ADF), iCE Draw (IDF), TundraDraw (TND) or PCBoard
// (PCB). Every format is drawn onto the same page of cells (ansi/canvas.h):
// characters, the PC attribute, and the colours of its own a cell carries
// where the piece has a palette of its own or 24-bit colours; beside the page
// the piece keeps the font it was drawn for and its SAUCE record.
//
// A file is untrusted: every reader checks each size against the bytes
// there are before it reads, and a file it cannot draw is refused with one
// line that names the byte (or, for the text formats, the line) at fault.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ansi/ansi_renderer.h"
#include "ansi/canvas.h"
#include "ansi/sauce.h"

enum class ArtFormat { Ansi, Binary, XBin, Artworx, IceDraw, Tundra, PcBoard };

// The format's name as the credits and the checker give it.
const char* ArtFormatName(ArtFormat format);

// The glyphs a piece was drawn with. Empty Glyphs: the standard PC font,
// of Height rows (an XBIN without a font of its own may ask for 8).
struct ArtFont {
    int Height = 16;     // pixel rows of each glyph, 1 to 32
    int Count = 256;     // glyphs: 256, or 512 for an XBIN that says so
    std::string Glyphs;  // Count * Height bytes, a byte a row, leftmost pixel in bit 7
    bool Own() const { return !Glyphs.empty(); }
};

// Why a file cannot be drawn: the byte it concerns (0 for the whole file)
// and what is wrong, one line.
struct ArtProblem {
    std::size_t Offset = 0;
    std::string Text;
};

// The sixteen colours a piece draws its attributes with, when it carries a
// palette of its own: 0x00RRGGBB each.
using ArtPalette = std::array<uint32_t, 16>;

struct Art {
    ArtFormat Format = ArtFormat::Ansi;
    TCanvas Canvas;
    Sauce Record;
    ArtFont Font;
    // Attribute bit 7 is a bright background (iCE colours); otherwise it
    // was blink, which the page shows as the plain background.
    bool BrightBackgrounds = false;
    // Where the record's sizes disagree with what the art draws, one plain
    // sentence each ("the record says 132 columns; the art draws 80"): the
    // art's own size is the one shown.
    std::vector<std::string> RecordDisagrees;
};

// Reads the piece File (the whole file's bytes), saved under Name (whose
// extension tells the format where the content and the record do not).
// Width: the columns its manifest entry gives (0: as the record and the
// format say). Answers false with the problem when the file cannot be drawn.
bool ReadArt(std::string_view file, std::string_view name, int width, Art& art, ArtProblem& problem);

// The format of File: told by its content (a header of its own), its SAUCE
// record's data and file types, and only where those are silent by the
// extension of Name; a record that says no more than ASCII or ANSI does not
// outweigh a name of another format. Text with PCBoard's colour codes and
// no escapes is PCBoard; anything else is ANSI.
ArtFormat TellArtFormat(std::string_view file, const Sauce& record, std::string_view name);

// The cell of character Ch in colours Fore and Back of their own (0xRRGGBB),
// with the nearest of the PC's sixteen as its attribute.
conapi::Cell OwnColourCell(uint16_t ch, uint32_t fore, uint32_t back);

// The cell of character Ch in attribute Attr of a piece with Palette: the
// palette's colours as the cell's own, or the attribute alone where the
// palette is the PC's.
conapi::Cell PaletteCell(uint16_t ch, uint8_t attr, const ArtPalette& palette, bool standard);

// Whether Palette is the PC's own sixteen colours.
bool IsStandardPalette(const ArtPalette& palette);
