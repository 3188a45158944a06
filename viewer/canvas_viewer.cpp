#include "viewer/canvas_viewer.h"

#include <algorithm>
#include <array>
#include <string>

#include "console/key_codes.h"

namespace {

int LastTop(const TCanvas& canvas) { return std::max(1, canvas.Rows() - CanvasViewRows + 1); }
int LastLeft(const TCanvas& canvas) { return std::max(1, canvas.Width() - ScreenCols + 1); }
// Taller than the screen: a piece of 25 rows fits it, its last row under
// the prompt, as every screen-sized piece has it.
bool Tall(const TCanvas& canvas) { return canvas.Rows() > ScreenRows; }

}  // namespace

bool CanvasMoves(const TCanvas& canvas) { return Tall(canvas) || canvas.Width() > ScreenCols; }

CanvasView LastRowsView(const TCanvas& canvas) { return CanvasView{LastTop(canvas), 1}; }

void DrawCanvasView(const TCanvas& canvas, const CanvasView& view, int rows) {
    std::array<conapi::Cell, ScreenCols> cells;
    for (int row = 0; row < rows; ++row) {
        for (int col = 0; col < ScreenCols; ++col) cells[static_cast<std::size_t>(col)] = canvas.At(view.Left + col, view.Top + row);
        WriteCellsXY(1, row + 1, cells.data(), ScreenCols);
    }
}

bool MoveCanvasView(const TCanvas& canvas, CanvasView& view, Byte code) {
    switch (code) {
    case KeyUp: --view.Top; break;
    case KeyDown: ++view.Top; break;
    case KeyPgUp: view.Top -= CanvasViewRows; break;
    case KeyPgDn: view.Top += CanvasViewRows; break;
    case KeyLeft: view.Left -= CanvasPanStep; break;
    case KeyRight: view.Left += CanvasPanStep; break;
    // Home goes to the page's top left corner; End to its last rows, or, on
    // a page that is only wide, to its right edge.
    case KeyHome:
        view.Top = 1;
        view.Left = 1;
        break;
    case KeyEnd:
        if (Tall(canvas))
            view.Top = LastTop(canvas);
        else
            view.Left = LastLeft(canvas);
        break;
    default: return false;
    }
    view.Top = std::clamp(view.Top, 1, LastTop(canvas));
    view.Left = std::clamp(view.Left, 1, LastLeft(canvas));
    return true;
}
