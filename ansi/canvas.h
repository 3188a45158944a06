// A page of cells for a piece larger than the screen: as wide as the piece
// says it is (80 to 160 columns) and as tall as it draws, so that the
// gallery can show any part of it. The renderer draws on it with the same
// operations it uses on the screen.
#pragma once

#include <string_view>
#include <vector>

#include "console/conapi.h"

class TCanvas {
public:
    static constexpr int MinCols = 80;
    static constexpr int MaxCols = 160;
    // A piece taller than this is cut here (the content checker refuses it).
    static constexpr int MaxRows = 2000;

    // Width: the piece's columns, kept within MinCols..MaxCols.
    explicit TCanvas(int width = MinCols);

    int Width() const { return width_; }
    // Rows that hold something drawn: the lowest row written, counted from 1.
    int Rows() const { return rows_; }
    // The rightmost column written, counted from 1.
    int WidestColumn() const { return widest_; }
    // Column Col of row Row (1-based); a blank cell outside what was drawn.
    conapi::Cell At(int col, int row) const;

    // What the renderer draws with, as the screen's operations of these names
    // do, except that the page wraps at its own width and grows downwards
    // instead of scrolling.
    void WriteText(std::string_view text);
    void GotoXY(int x, int y);
    int WhereX() const { return x_ + 1; }
    int WhereY() const { return y_ + 1; }
    void ClearScreen();
    unsigned char TextAttr = 7;

private:
    void Put(char ch);
    void NewRow();

    int width_;
    int x_ = 0;  // 0-based cursor
    int y_ = 0;
    int rows_ = 0;
    int widest_ = 0;
    std::vector<conapi::Cell> cells_;  // row after row, width_ cells each
};
