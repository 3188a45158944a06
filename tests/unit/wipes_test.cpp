// The three wipes blank the whole screen in black; their virtual durations.
#include <gtest/gtest.h>

#include <set>

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
