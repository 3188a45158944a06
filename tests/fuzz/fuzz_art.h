// What the fuzz targets of the art formats check: ReadArt on an input saved
// under a name of the format's extension. Besides not crashing or reading
// past the input: a piece read is a page within the gallery's limits, its
// font is as large as it says, each cell holds a character of that font
// and an attribute byte, colours of their own are flagged as such, and
// without bright backgrounds no attribute keeps the blink bit; a refusal
// is one plain line naming a byte of the file.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "ansi/art.h"
#include "fuzz_common.h"

namespace fuzzing {

inline bool OneLine(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= ' ' && c <= '~'; });
}

inline bool OwnOrNone(uint32_t colour) { return colour == 0 || (colour >> 24) == 1; }

// The formats whose readers keep attribute bit 7 only for bright backgrounds.
inline bool ClearsBlink(ArtFormat format) { return format != ArtFormat::Ansi; }

inline void CheckRow(const Art& art, int row) {
    const int glyphs = art.Font.Own() ? art.Font.Count : 256;
    for (int col = 1; col <= art.Canvas.Width(); ++col) {
        const conapi::Cell cell = art.Canvas.At(col, row);
        FUZZ_CHECK(cell.Char < glyphs);
        FUZZ_CHECK(cell.Attr <= 0xFF);
        FUZZ_CHECK(OwnOrNone(cell.Fore) && OwnOrNone(cell.Back));
        if (!art.BrightBackgrounds && ClearsBlink(art.Format)) FUZZ_CHECK((cell.Attr & 0x80) == 0);
    }
}

inline int CheckArt(const uint8_t* data, std::size_t size, std::string_view name) {
    const std::string_view file(reinterpret_cast<const char*>(data), size);
    Art art;
    ArtProblem problem;
    if (!ReadArt(file, name, 0, art, problem)) {
        FUZZ_CHECK(OneLine(problem.Text));
        FUZZ_CHECK(problem.Offset <= size);
        return 0;
    }
    FUZZ_CHECK(problem.Text.empty());
    const TCanvas& page = art.Canvas;
    FUZZ_CHECK(page.Width() >= TCanvas::MinCols && page.Width() <= TCanvas::MaxCols);
    FUZZ_CHECK(page.Rows() >= 0 && page.Rows() <= TCanvas::MaxRows);
    FUZZ_CHECK(page.WidestColumn() <= page.Width());
    FUZZ_CHECK(art.Font.Height >= 1 && art.Font.Height <= 32);
    FUZZ_CHECK(art.Font.Count == 256 || art.Font.Count == 512);
    if (art.Font.Own())
        FUZZ_CHECK(art.Font.Glyphs.size() == static_cast<std::size_t>(art.Font.Count * art.Font.Height));
    for (const std::string& line : art.RecordDisagrees) FUZZ_CHECK(OneLine(line));
    // Every cell of a page of a modest size; of a tall one the first and
    // last rows (a cursor placed far down makes a page of 800,000 cells).
    if (static_cast<long>(page.Rows()) * page.Width() <= 200000) {
        for (int row = 1; row <= page.Rows(); ++row) CheckRow(art, row);
    } else {
        CheckRow(art, 1);
        CheckRow(art, page.Rows());
    }
    return 0;
}

}  // namespace fuzzing
