// What the readers of the binary art formats share: a reader of a file's
// bytes that never goes past their end, the VGA's 6-bit colours, the look of
// a character and attribute pair, and the checks of a page's size, each of
// which names its fault in one plain line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "ansi/art.h"
#include "ansi/canvas.h"

// Reads Data from the front, little-endian unless a name says otherwise.
// A read that would go past the end reads nothing and answers false.
class ByteReader {
public:
    explicit ByteReader(std::string_view data, std::size_t at = 0) : data_(data), at_(at) {}

    std::size_t Offset() const { return at_; }
    std::size_t Left() const { return at_ < data_.size() ? data_.size() - at_ : 0; }
    bool AtEnd() const { return Left() == 0; }

    bool Byte(uint8_t& out);
    bool Word(uint16_t& out);     // 16 bits, low byte first
    bool BigLong(uint32_t& out);  // 32 bits, high byte first
    bool Bytes(std::size_t count, std::string_view& out);

private:
    std::string_view data_;
    std::size_t at_;
};

// Data without the byte 26 that ends it, where the SAUCE reader found one
// right before the record or its comments: the formats that run to the end
// of their data (a stream, or a font at the end) must not take it for art.
std::string_view WithoutEndOfFile(std::string_view data, const Sauce& record);

// Where the record's field at Field (its offset in the record) lies in the
// file whose data before the comments and record is Data.
std::size_t RecordFieldOffset(std::string_view data, const Sauce& record, std::size_t field);
inline constexpr std::size_t kRecordFileType = 95, kRecordWidth = 96;

// The problem At, in Text.
bool Refuse(ArtProblem& problem, std::size_t at, std::string text);

// Refuses a page wider than the gallery can pan or taller than it holds.
bool CheckWidth(uint64_t columns, std::size_t at, ArtProblem& problem);
bool CheckHeight(uint64_t rows, std::size_t at, ArtProblem& problem);

// A VGA colour register (0 to 63) as an 8-bit channel: its six bits, then
// its top two again below them, so that 63 is 255 and 42 is 170.
constexpr uint8_t SixBitToEight(uint8_t v) { return static_cast<uint8_t>(v << 2 | v >> 4); }

// Reads Count colours of three 6-bit registers each (0xRRGGBB). A register
// over 63 is a damaged file.
bool ReadSixBitColours(ByteReader& in, std::size_t count, uint32_t* colours, ArtProblem& problem);

// How the pairs of a piece look: its palette, whether attribute bit 7 is a
// bright background, and whether attribute bit 3 picks the second 256
// glyphs of a font of 512.
struct PairLook {
    ArtPalette Palette{};
    bool StandardPalette = true;
    bool BrightBackgrounds = true;
    bool Glyphs512 = false;
    conapi::Cell Cell(uint8_t ch, uint8_t attr) const;
};

// PairLook with the PC's own palette.
PairLook StandardLook(bool brightBackgrounds);

// Puts cells on a page one after the other, row after row, Width to a row,
// up to Most cells.
class CellRows {
public:
    CellRows(TCanvas& canvas, const PairLook& look, std::size_t width, std::size_t most)
        : canvas_(canvas), look_(look), width_(width), most_(most) {}
    bool Full() const { return next_ >= most_; }
    std::size_t Count() const { return next_; }
    std::size_t Rows() const { return (next_ + width_ - 1) / width_; }
    // Puts the pair in the next cell; false, and nothing put, when full.
    bool Put(uint8_t ch, uint8_t attr);
    // Puts the pairs of Bytes (an odd last byte is no pair).
    void PutPairs(std::string_view bytes);

private:
    TCanvas& canvas_;
    const PairLook& look_;
    std::size_t width_, most_, next_ = 0;
};
