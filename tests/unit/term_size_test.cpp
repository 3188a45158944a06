// A terminal smaller than the console: the notice drawn over the last row
// the terminal shows, and when it comes and goes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/term_size.h"

using conapi::Cell;

namespace {

constexpr uint64_t kSec = 1'000'000'000;

std::string RowText(const std::vector<Cell>& cells, int row, int width) {
    std::string s;
    for (int c = 0; c < width; ++c) s += static_cast<char>(cells[row * 80 + c].Char);
    return s;
}

}  // namespace

TEST(TermSize, TooSmallIsNarrowerOrShorterThanTheConsole) {
    EXPECT_FALSE(termsize::TooSmall(80, 25, 25));
    EXPECT_FALSE(termsize::TooSmall(132, 43, 25));
    EXPECT_TRUE(termsize::TooSmall(80, 24, 25));
    EXPECT_TRUE(termsize::TooSmall(79, 25, 25));
    EXPECT_TRUE(termsize::TooSmall(100, 40, 50));
}

TEST(TermSize, NoticeCoversTheLastShownRowWithinTheTerminalsWidth) {
    std::vector<Cell> cells(80 * 25, Cell{'.', 0x07});
    termsize::DrawNotice(cells, 25, 80, 24);
    const std::string row = RowText(cells, 23, 80);
    EXPECT_NE(row.find("80x24"), std::string::npos) << row;
    EXPECT_NE(row.find("80x25"), std::string::npos) << row;
    for (int c = 0; c < 80; ++c) EXPECT_EQ(cells[23 * 80 + c].Attr, termsize::kNoticeAttr) << c;
    EXPECT_EQ(RowText(cells, 22, 80), std::string(80, '.')) << "the rows above are the console's";
    EXPECT_EQ(RowText(cells, 24, 80), std::string(80, '.')) << "the hidden row is left alone";

    // 60 columns: the notice stops at the terminal's edge, its start first.
    std::vector<Cell> narrow(80 * 25, Cell{'.', 0x07});
    termsize::DrawNotice(narrow, 25, 60, 30);
    EXPECT_EQ(RowText(narrow, 24, 60).substr(0, 16), " Screen cut off:");
    EXPECT_EQ(narrow[24 * 80 + 59].Attr, termsize::kNoticeAttr);
    EXPECT_EQ(narrow[24 * 80 + 60].Char, '.');
    EXPECT_EQ(narrow[24 * 80 + 60].Attr, 0x07);
}

TEST(TermSize, NoticeComesWithEachNewSizeAndGoesByItselfOrByAKey) {
    termsize::Notice n;
    n.SizeIs(80, 25, 25, 1 * kSec);
    EXPECT_FALSE(n.Visible(1 * kSec)) << "big enough: no notice";
    n.SizeIs(80, 24, 25, 2 * kSec);
    EXPECT_TRUE(n.Visible(2 * kSec));
    EXPECT_EQ(n.MsUntilHidden(2 * kSec), termsize::kNoticeMs);
    EXPECT_TRUE(n.Visible(2 * kSec + termsize::kNoticeMs * 1'000'000ull - 1));
    EXPECT_FALSE(n.Visible(2 * kSec + termsize::kNoticeMs * 1'000'000ull)) << "gone by itself";
    EXPECT_EQ(n.MsUntilHidden(20 * kSec), -1);

    n.SizeIs(80, 24, 25, 30 * kSec);
    EXPECT_FALSE(n.Visible(30 * kSec)) << "the same size again: not shown again";
    n.SizeIs(70, 24, 25, 31 * kSec);
    EXPECT_TRUE(n.Visible(31 * kSec)) << "a new size shows it again";
    EXPECT_TRUE(n.KeyPressed(32 * kSec)) << "the key was spent on hiding it";
    EXPECT_FALSE(n.Visible(32 * kSec));
    EXPECT_FALSE(n.KeyPressed(33 * kSec)) << "later keys are keys";

    n.SizeIs(80, 25, 25, 40 * kSec);
    n.SizeIs(80, 24, 25, 41 * kSec);
    EXPECT_TRUE(n.Visible(41 * kSec)) << "smaller again after being big enough";
}
