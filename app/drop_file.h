// The drop file a board writes for a door: who the caller is, how the
// caller is connected and how long the caller may stay. Two forms are
// read, told apart by their first line:
//   DOOR32.SYS: eleven lines; line 1 the connection type (0 local, 1 serial,
//     2 telnet), 2 its handle, 3 the bit rate, 4 the board's name, 5 the
//     caller's record number, 6 the real name, 7 the alias, 8 the security
//     level, 9 the minutes left, 10 the emulation (0 ASCII, 1 ANSI, 2 Avatar,
//     3 RIP, 4 Max Graphics), 11 the node.
//   DOOR.SYS: line 1 the port ("COM0:" on the board's own console, "COM1:"
//     and on for a caller), 10 the caller's name, 19 the minutes left,
//     20 the graphics ("GR" ANSI, "NG" or "7E" none); later lines, up to
//     52, are not needed here.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

enum class DropConnection { Local, Serial, Telnet, Port };

struct DropFile {
    bool Door32 = true;  // DOOR32.SYS, else DOOR.SYS
    DropConnection Connection = DropConnection::Local;
    int64_t Handle = 0;  // DOOR32.SYS: the connection's handle
    int HandleLine = 2;  // the line that gave it
    std::string Caller;  // the alias, else the real name
    int MinutesLeft = 0;
    bool Ansi = true;  // false: plain ASCII only
};

// Reads Text, the drop file at Path. Answers false with Error set to one
// line naming the file and the line at fault (a missing line, a value that
// is no number, a connection that cannot be served).
bool ParseDropFile(std::string_view text, const std::string& path, DropFile& drop, std::string& error);

// Reads the drop file at Path; false with one line in Error when it cannot
// be read or is not right.
bool ReadDropFile(const std::string& path, DropFile& drop, std::string& error);
