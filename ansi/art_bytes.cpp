#include "ansi/art_bytes.h"

bool ByteReader::Byte(uint8_t& out) {
    if (Left() < 1) return false;
    out = static_cast<uint8_t>(data_[at_++]);
    return true;
}

bool ByteReader::Word(uint16_t& out) {
    if (Left() < 2) return false;
    out = static_cast<uint16_t>(static_cast<uint8_t>(data_[at_]) | static_cast<uint8_t>(data_[at_ + 1]) << 8);
    at_ += 2;
    return true;
}

bool ByteReader::BigLong(uint32_t& out) {
    if (Left() < 4) return false;
    out = 0;
    for (int i = 0; i < 4; ++i) out = out << 8 | static_cast<uint8_t>(data_[at_++]);
    return true;
}

bool ByteReader::Bytes(std::size_t count, std::string_view& out) {
    if (Left() < count) return false;
    out = data_.substr(at_, count);
    at_ += count;
    return true;
}

std::string_view WithoutEndOfFile(std::string_view data, const Sauce& record) {
    if (!data.empty() && record.DataEnd == data.size() && record.ArtEnd + 1 == data.size()) data.remove_suffix(1);
    return data;
}

std::size_t RecordFieldOffset(std::string_view data, const Sauce& record, std::size_t field) {
    const std::size_t comments = record.Comments.empty() ? 0 : 5 + SauceCommentSize * record.Comments.size();
    return data.size() + comments + field;
}

bool Refuse(ArtProblem& problem, std::size_t at, std::string text) {
    problem = {at, std::move(text)};
    return false;
}

bool CheckWidth(uint64_t columns, std::size_t at, ArtProblem& problem) {
    if (columns <= static_cast<uint64_t>(TCanvas::MaxCols)) return true;
    return Refuse(problem, at, "wider than the gallery can pan: " + std::to_string(columns) + " columns");
}

bool CheckHeight(uint64_t rows, std::size_t at, ArtProblem& problem) {
    if (rows <= static_cast<uint64_t>(TCanvas::MaxRows)) return true;
    return Refuse(problem, at,
                  "taller than the gallery holds: " + std::to_string(rows) + " rows, of at most " +
                      std::to_string(TCanvas::MaxRows));
}

bool ReadSixBitColours(ByteReader& in, std::size_t count, uint32_t* colours, ArtProblem& problem) {
    for (std::size_t i = 0; i < count; ++i) {
        uint32_t rgb = 0;
        for (int channel = 0; channel < 3; ++channel) {
            const std::size_t at = in.Offset();
            uint8_t v = 0;
            if (!in.Byte(v))
                return Refuse(problem, at,
                              "the palette stops at byte " + std::to_string(at) + ", short of its " +
                                  std::to_string(count) + " colours");
            if (v > 63)
                return Refuse(problem, at,
                              "palette colour " + std::to_string(i) + " has the value " + std::to_string(v) +
                                  ", but a VGA colour register goes to 63");
            rgb = rgb << 8 | SixBitToEight(v);
        }
        colours[i] = rgb;
    }
    return true;
}

conapi::Cell PairLook::Cell(uint8_t ch, uint8_t attr) const {
    // Without bright backgrounds bit 7 was blink: the page shows the plain
    // background, so the bit goes.
    if (!BrightBackgrounds) attr &= 0x7F;
    // In a font of 512 bit 3 picks the glyph's half and still brightens the
    // foreground, as the attribute says.
    const uint16_t glyph = static_cast<uint16_t>(Glyphs512 && (attr & 8) ? 256 + ch : ch);
    conapi::Cell cell = PaletteCell(glyph, attr, Palette, StandardPalette);
    // The nearest of the sixteen to a colour of the palette's own may be a
    // bright background, which a page without them cannot show: its dark
    // twin stands in.
    if (!BrightBackgrounds) cell.Attr &= 0x7F;
    return cell;
}

PairLook StandardLook(bool brightBackgrounds) {
    PairLook look;
    look.BrightBackgrounds = brightBackgrounds;
    return look;
}

bool CellRows::Put(uint8_t ch, uint8_t attr) {
    if (Full()) return false;
    canvas_.Put(static_cast<int>(next_ % width_) + 1, static_cast<int>(next_ / width_) + 1, look_.Cell(ch, attr));
    ++next_;
    return true;
}

void CellRows::PutPairs(std::string_view bytes) {
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        Put(static_cast<uint8_t>(bytes[i]), static_cast<uint8_t>(bytes[i + 1]));
}
