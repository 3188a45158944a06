// A page of cells for a piece of art: as wide as the piece is (80 to 160
// columns) and as tall as it draws, so that the gallery can show any part of
// it. The ANSI renderer draws on it with the same operations it uses on the
// screen; the readers of the binary formats put their cells on it directly.
#pragma once

#include <algorithm>
#include <string_view>
#include <vector>

#include "console/conapi.h"
#include "issue/layout.h"

class TCanvas {
public:
    static constexpr int MinCols = issue::PieceMinWidth;
    static constexpr int MaxCols = issue::PieceMaxWidth;
    // A piece taller than this is cut here (the content checker refuses it).
    static constexpr int MaxRows = issue::PieceMaxRows;

    // Width: the piece's columns, kept within MinCols..MaxCols. With
    // DeferredWrap, as the scene's art is drawn, a character written in the
    // last column leaves the cursor there until the next character comes: a
    // line end right after a full row ends that row and adds no empty one.
    // Without it the last column wraps at once, as the screen's does.
    explicit TCanvas(int width = MinCols, bool deferredWrap = false);

    int Width() const { return width_; }
    // Rows that hold something drawn: the lowest row written, counted from 1.
    int Rows() const { return rows_; }
    // The rightmost column written, counted from 1.
    int WidestColumn() const { return widest_; }
    // The rows the drawing reached, those below the last row it may have
    // included (what is drawn there is dropped): a piece's own height.
    int RowsAskedFor() const { return std::max(rows_, asked_); }
    // The rightmost column that holds more than a blank on black (a blank of
    // a colour counts: it is a part of the picture), counted from 1; 0 when
    // nothing is drawn.
    int InkedWidth() const;
    // Column Col of row Row (1-based); a blank cell outside what was drawn.
    conapi::Cell At(int col, int row) const;

    // Puts Cell at column Col of row Row (1-based), where a reader of a
    // binary format places it; outside the page nothing is put.
    void Put(int col, int row, conapi::Cell cell);

    // What the renderer draws with, as the screen's operations of these names
    // do, except that the page wraps at its own width and grows downwards
    // instead of scrolling.
    void WriteText(std::string_view text);
    void GotoXY(int x, int y);
    int WhereX() const { return x_ + 1; }
    int WhereY() const { return y_ + 1; }
    void ClearScreen();
    unsigned char TextAttr = 7;
    // The colours of their own that the next characters are drawn in
    // (conapi::OwnColour; 0: the attribute's), with TextAttr holding the
    // nearest of the sixteen.
    uint32_t OwnFore = 0;
    uint32_t OwnBack = 0;

private:
    void PutChar(char ch);
    void NewRow();

    int width_;
    bool deferredWrap_;
    bool wrapPending_ = false;  // a character stands in the last column
    int x_ = 0;                 // 0-based cursor
    int y_ = 0;
    int rows_ = 0;
    int widest_ = 0;
    int below_ = 0;  // rows the cursor went on past the last one
    int asked_ = 0;
    std::vector<conapi::Cell> cells_;  // row after row, width_ cells each
};
