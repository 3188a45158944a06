// The magazine as a board's door (--door FILE): the caller the board's drop
// file describes reads it on the connection the board hands over, in public
// mode, for the minutes the board gives, and no longer than the idle time
// the sysop sets (--idle MINUTES) without a key.
#pragma once

#include <string>
#include <vector>

// How long a door's caller may sit without a key before the door ends.
inline constexpr int DefaultIdleMinutes = 15;

// The notice a door's caller gets a minute before the time runs out.
inline const std::string TimeRunningOutNotice = "one minute left: then the magazine closes";

// Before the console is taken: reads --door FILE and --idle MINUTES from
// Args (the command line without the program's name), and for a door sets
// public mode, the plain-ASCII screens for a caller without ANSI, and the
// console on the caller's connection. Answers false with one line in Error
// when the drop file or a value cannot be taken.
bool PrepareDoor(const std::vector<std::string>& args, std::string& error);

// Whether the program runs as a door.
bool RunsAsDoor();

// After the console is taken: the caller's minutes and the idle time are
// watched from now on. Ending either shows the exit screen and ends the
// program with status 0; the minutes' end is announced a minute before.
void WatchCallerTime();
