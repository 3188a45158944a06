// The magazine as a board's door (--door FILE): the caller the board's drop
// file describes reads it on the connection the board hands over, in public
// mode, for the minutes the board gives, and no longer than the idle time
// the sysop sets (--idle MINUTES) without a key.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/drop_file.h"

struct MagazineRun;

// The one caller of a door's run, and the limits on the caller's stay.
struct DoorStay {
    bool Door = false;
    bool Timed = false;  // the minutes left are kept
    uint32_t MinutesLeftMs = 0;
    uint32_t IdleMs = 0;  // 0: no idle limit
    uint32_t Start = 0;   // tick of WatchCallerTime
    uint32_t KeysAtStart = 0;
    bool NoticeShown = false;
    DropFile Drop;  // what the board said of the caller, for the log
};

// How long a door's caller may sit without a key before the door ends:
// shorter than the boards' own idle kicks, so that a caller the board has
// forgotten does not hold the node.
inline constexpr int DefaultIdleMinutes = 5;

// The notice a door's caller gets a minute before the time runs out.
inline const std::string TimeRunningOutNotice = "one minute left: then the magazine closes";

// Before the console is taken: reads --door FILE, --idle MINUTES and
// --max-minutes N (the longest stay, for any reader) from Args (the command
// line without the program's name), and for a door sets public mode, plain
// lines for a caller without ANSI, and the console on the caller's
// connection. Answers false with one line in Error
// when the drop file or a value cannot be taken.
bool PrepareDoor(const std::vector<std::string>& args, DoorStay& stay, std::string& error);

// After the console is taken: the caller's minutes and the idle time are
// watched from now on. Ending either shows the exit screen and ends the
// program with status 0 (the log says why); the minutes' end is announced
// a minute before.
void WatchCallerTime(MagazineRun& run);
