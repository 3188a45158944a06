// The three wipes blank the whole screen in black; their virtual durations.
#include <gtest/gtest.h>

#include <array>
#include <set>
#include <vector>

#include "ansi/wipes.h"
#include "console_fixture.h"

namespace {

class Wipes : public ConsoleTest {
protected:
    void FillScreen() {
        for (int y = 1; y <= 25; ++y) WriteXY(1, y, 0x4E, std::string(80, '#'));
        GotoXY(30, 12);
    }
    // Cells that are not a space in attribute Attr.
    static int CellsNotBlank(int attr) {
        int count = 0;
        for (int y = 1; y <= 25; ++y)
            for (int x = 1; x <= 80; ++x)
                if (Ch(x, y) != ' ' || At(x, y) != attr) ++count;
        return count;
    }
};

}  // namespace

TEST_F(Wipes, ColumnWipeBlanksEveryCellAndKeepsTheCursor) {
    FillScreen();
    ColumnWipe();
    EXPECT_EQ(CellsNotBlank(0), 0);
    EXPECT_EQ(memcon::SleepCalls(), 2000u);
    EXPECT_EQ(memcon::SleptMs(), 2000u);
    EXPECT_EQ(WhereX(), 30);
    EXPECT_EQ(WhereY(), 12);
}

TEST_F(Wipes, InterlaceWipeEndsWithAClearInTextAttr) {
    FillScreen();
    SetTextAttr(0x1F);
    InterlaceWipe();
    EXPECT_EQ(CellsNotBlank(0x1F), 0);
    EXPECT_EQ(memcon::SleptMs(), 750u);
    EXPECT_EQ(WhereX(), 1);
    EXPECT_EQ(WhereY(), 1);
}

TEST_F(Wipes, QuadrantWipe) {
    FillScreen();
    QuadrantWipe();
    EXPECT_EQ(CellsNotBlank(0), 0);
    EXPECT_EQ(memcon::SleptMs(), 600u);
    EXPECT_EQ(memcon::SleepCalls(), 3u);
    EXPECT_EQ(WhereX(), 30);
}

namespace {

// Whether every cell of the rectangle (1-based, inclusive) is blank in
// attribute 0.
bool Blank(int x1, int y1, int x2, int y2) {
    for (int y = y1; y <= y2; ++y)
        for (int x = x1; x <= x2; ++x)
            if (ConsoleTest::Ch(x, y) != ' ' || ConsoleTest::At(x, y) != 0) return false;
    return true;
}

bool Untouched(int x1, int y1, int x2, int y2) {
    for (int y = y1; y <= y2; ++y)
        for (int x = x1; x <= x2; ++x)
            if (ConsoleTest::Ch(x, y) != '#') return false;
    return true;
}

}  // namespace

TEST_F(Wipes, StepsComeInTheirOrder) {
    // Quadrants: top left, bottom right, top right, then bottom left.
    FillScreen();
    std::vector<std::array<bool, 4>> seen;  // TL, TR, BL, BR blank at each sleep
    memcon::OnSleep([&] {
        seen.push_back({Blank(1, 1, 40, 12), Blank(41, 1, 80, 12), Blank(1, 13, 40, 25), Blank(41, 13, 80, 25)});
    });
    QuadrantWipe();
    const std::vector<std::array<bool, 4>> quadrants = {
        {true, false, false, false}, {true, false, false, true}, {true, true, false, true}};
    EXPECT_EQ(seen, quadrants);

    // Columns: every even column top to bottom, then every odd one.
    memcon::Reset();
    FillScreen();
    int sleeps = 0;
    memcon::OnSleep([&] {
        ++sleeps;
        if (sleeps == 1) {
            EXPECT_TRUE(Blank(2, 1, 2, 1) && Untouched(2, 2, 2, 25) && Untouched(1, 1, 1, 25));
        }
        if (sleeps == 26) {
            EXPECT_TRUE(Blank(2, 1, 2, 25) && Blank(4, 1, 4, 1) && Untouched(4, 2, 4, 25));
        }
        if (sleeps == 1000) {
            for (int x = 1; x <= 80; ++x) EXPECT_EQ(Blank(x, 1, x, 25), x % 2 == 0) << "column " << x;
        }
        if (sleeps == 1001) {
            EXPECT_TRUE(Blank(1, 1, 1, 1) && Untouched(1, 2, 1, 25));
        }
    });
    ColumnWipe();
    EXPECT_EQ(sleeps, 2000);

    // Interlace: the odd rows one by one, a sleep after every row.
    memcon::Reset();
    FillScreen();
    sleeps = 0;
    memcon::OnSleep([&] {
        ++sleeps;
        if (sleeps > 25) return;
        for (int y = 1; y <= 25; ++y)
            EXPECT_EQ(Blank(1, y, 80, y), y % 2 == 1 && y <= sleeps) << "after sleep " << sleeps << ", row " << y;
    });
    InterlaceWipe();
    EXPECT_GE(sleeps, 25);
}

TEST_F(Wipes, RandomWipeVariesWithTheClock) {
    // Each call seeds from the tick count, which moves on with every wipe:
    // over many calls more than one kind of wipe must show up.
    std::set<uint64_t> durations;
    for (int i = 0; i < 30; ++i) {
        const uint64_t before = memcon::SleptMs();
        FillScreen();
        RandomWipe();
        durations.insert(memcon::SleptMs() - before);
        conapi::Sleep(i * 13);
    }
    EXPECT_GE(durations.size(), 2u);
    for (uint64_t d : durations) EXPECT_TRUE(d == 2000 || d == 750 || d == 600) << d;
}
