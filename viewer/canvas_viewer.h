// A window on a page larger than the screen (a tall or a wide gallery
// piece): the page's cells over screen rows 1 to 24, from a chosen row and
// column, moved by the reader's keys a row, a page or eight columns at a time.
#pragma once

#include "ansi/canvas.h"
#include "console/m_Console.h"

struct CanvasView {
    int Top = 1;   // the page's row on screen row 1
    int Left = 1;  // the page's column on screen column 1
};

// Rows of the screen the window takes (row 25 is the prompt's).
constexpr int CanvasViewRows = 24;
// Columns a press of Left or Right moves the window by.
constexpr int CanvasPanStep = 8;

// Whether the page is larger than the screen (taller than 25 rows or wider
// than 80 columns): it can then be moved over.
bool CanvasMoves(const TCanvas& canvas);
// The view that shows the page's last rows, as drawing it on the screen
// leaves them.
CanvasView LastRowsView(const TCanvas& canvas);
// Draws the window on the screen: its first Rows rows (the prompt's row 25
// below them is the caller's), every cell as the page holds it.
void DrawCanvasView(const TCanvas& canvas, const CanvasView& view, int rows = CanvasViewRows);
// Moves View by the extended key Code (Up, Down, PgUp, PgDn, Home, End,
// Left, Right); answers false for any other key. It never moves past the
// page's edges.
bool MoveCanvasView(const TCanvas& canvas, CanvasView& view, Byte code);
