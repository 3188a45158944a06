// The sysop's log (--log FILE, or --log - for standard error): one line per
// event of a stay, with the time, the node and the caller's name as the
// board's drop file gives them:
//   2026-12-10 21:05:09 node 1 "ann reader" start: DORINFO1.DEF, node 1
//   2026-12-10 21:05:31 node 1 "ann reader" article: articles/news (scene news...)
//   2026-12-10 21:09:02 node 1 "ann reader" end: x
// The file is appended to, each line in one write, so that the nodes of a
// board can share it. A log that cannot be written ends nothing: the first
// failure is said once on standard error and the log is quiet from then on.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "sys/sys.h"

// Text as a log line may hold it: printable ASCII as it is, a backslash
// doubled, every other byte (control bytes, code page 437's letters and
// glyphs) written as \xNN.
std::string LogPrintable(std::string_view text);

class CallerLog {
public:
    // Target "" keeps no log, "-" writes to standard error, anything else
    // is the file appended to. Answers false (and says so once on standard
    // error) when the file cannot be opened: the run goes on without a log.
    bool Open(const std::string& target);
    // Who the lines are about from now on: the board's node (none: "-")
    // and the caller's name (quoted, a quote and a backslash escaped).
    void Identify(std::optional<int> node, std::string_view caller);
    // One line: the time, the node, the caller, then Event (made printable).
    void Write(std::string_view event);
    bool Active() const { return toStderr_ || file_.Valid(); }

private:
    void Fail(const std::string& why);

    std::string target_;
    sys::File file_;
    bool toStderr_ = false;
    std::string who_ = "node - \"\"";
};
