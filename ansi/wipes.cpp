#include "ansi/wipes.h"

#include <random>

#include "console/conapi.h"
#include "console/m_Console.h"

namespace {

// Blanks Count cells from (X, Y): black spaces, cursor and attribute kept.
void Blank(int x, int y, int count) { WriteXY(x, y, 0, RepeatChar(' ', count)); }

}  // namespace

void RandomWipe() {
    // Plain lines show no wipe: the next screen follows at once.
    if (conapi::ShowsPlainLines()) return ClearScreen();
    // Seeded anew from the tick count on every call, so that consecutive
    // wipes do not follow a fixed order.
    std::minstd_rand generator(conapi::TickCount());
    std::uniform_int_distribution<int> pick(1, 3);
    switch (pick(generator)) {
    case 1: ColumnWipe(); break;
    case 2: InterlaceWipe(); break;
    default: QuadrantWipe(); break;
    }
}

void ColumnWipe() {
    // Even columns first, then the odd ones, each from top to bottom.
    for (int offset : {0, -1})
        for (int i = 1; i <= 40; ++i)
            for (int row = 1; row <= 25; ++row) {
                Blank(2 * i + offset, row, 1);
                Delay(1);
            }
}

void InterlaceWipe() {
    for (int row = 1; row <= 25; ++row) {
        if (row % 2 == 1) Blank(1, row, 80);
        Delay(30);
    }
    ClearScreen();
}

void QuadrantWipe() {
    for (int row = 1; row <= 12; ++row) Blank(1, row, 40);
    Delay(200);
    for (int row = 13; row <= 25; ++row) Blank(41, row, 40);
    Delay(200);
    for (int row = 1; row <= 12; ++row) Blank(41, row, 40);
    Delay(200);
    for (int row = 13; row <= 25; ++row) Blank(1, row, 40);
}
