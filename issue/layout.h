// Where the program draws over an issue's screens: the menu boxes, the main
// menu's message row and the framed pages' text window. The menus take their
// place from here, the manifest reader its limits (a label must fit its
// menu's width, a list its rows) and the checker the areas a backdrop must
// leave blank.
#pragma once

#include <cstddef>

namespace issue {

// A menu box: its top-left corner (1-based), width and rows. The last row
// holds "[ b a c k ]" or "[ c l o s e ]", so a list has room for Rows - 1
// entries of the issue.
struct MenuBox {
    int Column, Row, Width, Rows;

    constexpr int Right() const { return Column + Width - 1; }
    constexpr int Bottom() const { return Row + Rows - 1; }
    constexpr std::size_t MaxEntries() const { return static_cast<std::size_t>(Rows - 1); }
};

inline constexpr MenuBox MainMenuBox{53, 10, 17, 7};
inline constexpr MenuBox SectionMenuBox{18, 14, 44, 7};  // articles and tutorials
inline constexpr MenuBox GalleryMenuBox{53, 8, 18, 11};
inline constexpr MenuBox TrackMenuBox{6, 2, 35, 6};

// The main menu's message row: where a refused choice is explained.
inline constexpr int MessageRow = 22;
inline constexpr int MessageFirstColumn = 12;
inline constexpr int MessageLastColumn = 70;

// The framed pages' text window (about, editorial): every column of these rows.
inline constexpr int FramedTextTop = 5;
inline constexpr int FramedTextBottom = 22;

// Header fields are written from their marker onwards; the text window is
// at most 79 columns wide, so nothing longer can ever fit on a row.
inline constexpr std::size_t MaxFieldLength = 79;
// The logo spells the date with a space after each letter, beside the
// issue's number, on one row of 80 columns.
inline constexpr std::size_t MaxDateLength = 20;
// The save dialog's input field.
inline constexpr std::size_t MaxSaveNameLength = 48;
// A gallery piece is laid out 80 columns wide unless it says otherwise (its
// manifest entry or its SAUCE record), at most this wide, and is at most
// this many rows tall.
inline constexpr int PieceMinWidth = 80;
inline constexpr int PieceMaxWidth = 160;
inline constexpr int PieceMaxRows = 10000;
// The magazine's name is drawn in big letters on the logo and the menus.
inline constexpr std::size_t MaxNameLength = 12;
// The contact line and the title each fit one row of the usage text.
inline constexpr std::size_t MaxContactLength = 76;
inline constexpr std::size_t MaxTitleLength = 60;
// An issue's headline fits a row of the back-issues menu beside its number
// and date.
inline constexpr std::size_t MaxHeadlineLength = 40;

}  // namespace issue
