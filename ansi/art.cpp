#include "ansi/art.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "ansi/ansi_renderer.h"
#include "ansi/artworx.h"
#include "ansi/binary_text.h"
#include "ansi/ice_draw.h"
#include "ansi/pcboard.h"
#include "ansi/tundra.h"
#include "ansi/xbin.h"
#include "console/palette.h"

namespace {

// SAUCE's data and file types of the formats read here.
constexpr std::uint8_t kCharacterData = 1, kBinaryText = 5, kXBinData = 6;
constexpr std::uint8_t kPcBoardFile = 4, kTundraFile = 8;

std::string LowerExtension(std::string_view name) {
    const std::size_t dot = name.find_last_of('.');
    if (dot == std::string_view::npos || name.find_first_of("/\\", dot) != std::string_view::npos) return {};
    std::string ext(name.substr(dot + 1));
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext;
}

// The hex digits of PCBoard's colour codes, upper case as the board and
// the scene's renderers take them.
bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

// The format an extension names, where it names one other than ANSI.
std::optional<ArtFormat> FormatOfExtension(const std::string& ext) {
    if (ext == "bin") return ArtFormat::Binary;
    if (ext == "xb") return ArtFormat::XBin;
    if (ext == "adf") return ArtFormat::Artworx;
    if (ext == "idf") return ArtFormat::IceDraw;
    if (ext == "tnd") return ArtFormat::Tundra;
    if (ext == "pcb") return ArtFormat::PcBoard;
    return std::nullopt;
}

// PCBoard's colour codes, "@X" and two hex digits, in text without an
// escape sequence: the content says PCBoard.
bool LooksLikePcBoard(std::string_view file) {
    if (file.find('\x1b') != std::string_view::npos) return false;
    for (std::size_t at = file.find("@X"); at != std::string_view::npos; at = file.find("@X", at + 1))
        if (at + 3 < file.size() && IsHexDigit(file[at + 2]) && IsHexDigit(file[at + 3])) return true;
    return false;
}

uint8_t AttrOf(uint32_t fore, uint32_t back) {
    const int fg = palette::NearestPc(palette::OfOwn(fore));
    const int bg = palette::NearestPc(palette::OfOwn(back));
    return static_cast<uint8_t>(bg << 4 | fg);
}

// The rows a record's lines may give for art that draws Rows: the same, or
// one more (a screen-sized piece counts the blank row its last line end
// leaves).
bool LinesAgree(int lines, int rows) { return lines == rows || lines == rows + 1; }

bool ReadAnsiPiece(std::string_view file, int width, Art& art) {
    const Sauce& record = art.Record;
    const BlinkRule blink = !record.Present     ? BlinkRule::Screen
                            : record.IceColours ? BlinkRule::Bright
                                                : BlinkRule::Ignored;
    art.BrightBackgrounds = blink != BlinkRule::Ignored;
    const std::string_view drawn = file.substr(0, record.ArtEnd);
    const int recordWidth = record.Width > TCanvas::MinCols && record.Width <= TCanvas::MaxCols ? record.Width : 0;
    art.Canvas = TCanvas(width > 0 ? width : recordWidth > 0 ? recordWidth : TCanvas::MinCols, true);
    DrawAnsiPiece(drawn, blink, art.Canvas);
    // A record wider than the screen over art that draws nothing past the
    // 80th column: the art is the screen's width.
    if (width == 0 && recordWidth > 0 && art.Canvas.InkedWidth() <= TCanvas::MinCols) {
        art.RecordDisagrees.push_back("the record says " + std::to_string(record.Width) +
                                      " columns, but the art draws nothing past the 80th");
        art.Canvas = TCanvas(TCanvas::MinCols, true);
        DrawAnsiPiece(drawn, blink, art.Canvas);
    }
    return true;
}

// Where the record's sizes disagree with the art that was drawn.
void CompareRecord(Art& art) {
    const Sauce& record = art.Record;
    if (!record.Present) return;
    if (record.GivenWidth > TCanvas::MaxCols)
        art.RecordDisagrees.push_back("the record says " + std::to_string(record.GivenWidth) +
                                      " columns, more than a piece can have; the art is " +
                                      std::to_string(art.Canvas.Width()));
    if (record.Lines > 0 && !LinesAgree(record.Lines, art.Canvas.Rows()))
        art.RecordDisagrees.push_back("the record says " + std::to_string(record.Lines) + " lines, but the art draws " +
                                      std::to_string(art.Canvas.Rows()) + " rows");
}

}  // namespace

const char* ArtFormatName(ArtFormat format) {
    switch (format) {
    case ArtFormat::Ansi: return "ANSI";
    case ArtFormat::Binary: return "binary screen (BIN)";
    case ArtFormat::XBin: return "XBIN";
    case ArtFormat::Artworx: return "Artworx (ADF)";
    case ArtFormat::IceDraw: return "iCE Draw (IDF)";
    case ArtFormat::Tundra: return "TundraDraw (TND)";
    case ArtFormat::PcBoard: return "PCBoard (PCB)";
    }
    return "ANSI";
}

ArtFormat TellArtFormat(std::string_view file, const Sauce& record, std::string_view name) {
    if (file.starts_with(std::string_view("XBIN\x1a", 5))) return ArtFormat::XBin;
    if (file.starts_with("\x18TUNDRA24")) return ArtFormat::Tundra;
    if (file.size() >= 4 && file[0] == '\x04' && file[1] == '1' && file[2] == '.' &&
        std::isdigit(static_cast<unsigned char>(file[3])))
        return ArtFormat::IceDraw;
    if (record.Present) {
        if (record.DataType == kBinaryText) return ArtFormat::Binary;
        if (record.DataType == kXBinData) return ArtFormat::XBin;
        if (record.DataType == kCharacterData && record.FileType == kPcBoardFile) return ArtFormat::PcBoard;
        if (record.DataType == kCharacterData && record.FileType == kTundraFile) return ArtFormat::Tundra;
    }
    // A record of plain ASCII or ANSI is what many tools write for any
    // piece, and the scene's renderers go by the extension: a name that
    // says another format wins over it.
    if (const std::optional<ArtFormat> named = FormatOfExtension(LowerExtension(name))) return *named;
    if (record.Present && record.DataType == kCharacterData && record.FileType <= 2) return ArtFormat::Ansi;
    // Colour codes without escapes say PCBoard; a binary file can hold the
    // same bytes, so its name is asked first.
    if (LooksLikePcBoard(file.substr(0, record.ArtEnd))) return ArtFormat::PcBoard;
    return ArtFormat::Ansi;
}

conapi::Cell OwnColourCell(uint16_t ch, uint32_t fore, uint32_t back) {
    const uint32_t f = conapi::OwnColourFlag | (fore & 0xFFFFFF);
    const uint32_t b = conapi::OwnColourFlag | (back & 0xFFFFFF);
    return conapi::Cell{ch, AttrOf(f, b), f, b};
}

bool IsStandardPalette(const ArtPalette& colours) {
    for (std::size_t i = 0; i < colours.size(); ++i) {
        const palette::Rgb c = palette::kVga[i];
        if (colours[i] != (static_cast<uint32_t>(c.r) << 16 | static_cast<uint32_t>(c.g) << 8 | c.b)) return false;
    }
    return true;
}

conapi::Cell PaletteCell(uint16_t ch, uint8_t attr, const ArtPalette& colours, bool standard) {
    if (standard) return conapi::Cell{ch, attr};
    return OwnColourCell(ch, colours[attr & 15], colours[attr >> 4]);
}

bool ReadArt(std::string_view file, std::string_view name, int width, Art& art, ArtProblem& problem) {
    art = Art();
    art.Record = ReadSauce(file);
    art.Format = TellArtFormat(file, art.Record, name);
    const std::string_view data = file.substr(0, art.Record.DataEnd);
    bool read = false;
    switch (art.Format) {
    case ArtFormat::Ansi: read = ReadAnsiPiece(file, width, art); break;
    case ArtFormat::Binary: read = ReadBinaryText(data, art, problem); break;
    case ArtFormat::XBin: read = ReadXBin(data, art, problem); break;
    case ArtFormat::Artworx: read = ReadArtworx(data, art, problem); break;
    case ArtFormat::IceDraw: read = ReadIceDraw(data, art, problem); break;
    case ArtFormat::Tundra: read = ReadTundra(data, art, problem); break;
    case ArtFormat::PcBoard: read = ReadPcBoard(data, art, problem); break;
    }
    if (!read) return false;
    CompareRecord(art);
    return true;
}
