// A fresh memory console for each test: Screen and Keyboard are created on
// an empty 80x25 console with an empty input script and the clock at 0.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "console/con_memory.h"
#include "console/m_Console.h"

class ConsoleTest : public ::testing::Test {
protected:
    void SetUp() override {
        memcon::Reset();
        InitConsole();
    }
    void TearDown() override { DoneConsole(); }

public:
    // Character and attribute of a cell, 1-based like the program's
    // coordinates.
    static char Ch(int x, int y) { return static_cast<char>(memcon::CellAt(x - 1, y - 1).Char & 0xFF); }
    static int At(int x, int y) { return memcon::CellAt(x - 1, y - 1).Attr; }
    // Row Y (1-based), trailing blanks removed.
    static std::string Row(int y) {
        std::string row = memcon::RowText(y - 1);
        row.erase(row.find_last_not_of(' ') + 1);
        return row;
    }
};
