// What a terminal answers at start: where its cursor stands (a cursor
// position report, ESC [ row ; col R) and which cursor shape it has (its
// answer to a status request for DECSCUSR, DCS 1 $ r N SP q ST). The
// answers come in among the reader's keys; they are taken out of the bytes
// read so that they never become keys.
#pragma once

#include <optional>
#include <string>

namespace termanswers {

// The request for the cursor shape (DECRQSS for DECSCUSR).
inline constexpr char kAskCursorShape[] = "\x1bP$q q\x1b\\";
// The request for the cursor position (DSR 6).
inline constexpr char kAskCursorPosition[] = "\x1b[6n";

struct Answers {
    std::optional<int> column;       // 1-based column of a cursor position report
    bool shapeAnswered = false;      // a reply to the shape request came
    std::optional<int> cursorShape;  // the shape it named (DECSCUSR 0-6)
};

// Removes the first cursor position report and the first reply to the
// shape request from Bytes and answers what they said. A reply that names
// no valid shape is removed too, and answers no shape.
Answers Take(std::string& bytes);

}  // namespace termanswers
