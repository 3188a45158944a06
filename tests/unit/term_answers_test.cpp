// The terminal's answers at start, taken out of the bytes read: the cursor
// position report and the reply to the request for the cursor shape, in the
// forms terminals send them (xterm answers "DCS 1 $ r 2 SP q ST" for a
// steady block), among keys that must stay keys.
#include <gtest/gtest.h>

#include <string>

#include "console/term_answers.h"

using termanswers::Take;

TEST(TermAnswers, TheShapeReplyAndThePositionAreTakenOutAndKeysStay) {
    // Typed keys before, between and after the answers.
    std::string bytes = "a\x1bP1$r4 q\x1b\\b\x1b[1;2Rc";
    const auto found = Take(bytes);
    EXPECT_TRUE(found.shapeAnswered);
    ASSERT_TRUE(found.cursorShape.has_value());
    EXPECT_EQ(*found.cursorShape, 4) << "steady underline";
    ASSERT_TRUE(found.column.has_value());
    EXPECT_EQ(*found.column, 2);
    EXPECT_EQ(bytes, "abc");
}

TEST(TermAnswers, EachShapeAndEitherValidMarkIsRead) {
    for (int shape = 0; shape <= 6; ++shape) {
        for (const char mark : {'0', '1'}) {
            std::string bytes = std::string("\x1bP") + mark + "$r" + std::to_string(shape) + " q\x1b\\";
            const auto found = Take(bytes);
            ASSERT_TRUE(found.cursorShape.has_value()) << shape << mark;
            EXPECT_EQ(*found.cursorShape, shape);
            EXPECT_FALSE(found.column.has_value());
            EXPECT_EQ(bytes, "");
        }
    }
}

TEST(TermAnswers, AReplyNamingNoShapeIsTakenOutButAnswersNone) {
    // The reply to a request the terminal does not know, and shapes that do
    // not exist.
    for (const char* reply : {"\x1bP0$r\x1b\\", "\x1bP1$r7 q\x1b\\", "\x1bP1$r2 m\x1b\\", "\x1bP1$r q\x1b\\"}) {
        std::string bytes = std::string("x") + reply + "\x1b[3;1R";
        const auto found = Take(bytes);
        EXPECT_TRUE(found.shapeAnswered) << reply;
        EXPECT_FALSE(found.cursorShape.has_value()) << reply;
        ASSERT_TRUE(found.column.has_value()) << reply;
        EXPECT_EQ(*found.column, 1);
        EXPECT_EQ(bytes, "x") << reply;
    }
}

TEST(TermAnswers, KeysAloneAreNoAnswers) {
    // Alt+P, an arrow, F5, sequences ending in R without both numbers, an
    // unfinished reply waiting for its end.
    for (const char* keys : {"\x1bp", "\x1bP", "\x1b[A", "\x1b[15~", "\x1b[;2R", "\x1b[12R", "\x1bP1$r2 q"}) {
        std::string bytes = keys;
        const auto found = Take(bytes);
        EXPECT_FALSE(found.shapeAnswered) << keys;
        EXPECT_FALSE(found.column.has_value()) << keys;
        EXPECT_EQ(bytes, keys);
    }
}
