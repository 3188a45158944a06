// The drop file a board writes for a door: who the caller is, how the
// caller is connected and how long the caller may stay. Three kinds are
// read, told by the file's name (DOOR32.SYS, DOOR.SYS, DORINFOn.DEF, in any
// case) and, where the name says nothing, by their lines:
//   DOOR32.SYS: eleven lines; line 1 the connection type (0 local, 1 serial,
//     2 telnet), 2 its handle (-1: none, the caller is on standard input
//     and output), 3 the bit rate, 4 the board's name, 5 the caller's record
//     number, 6 the real name, 7 the alias, 8 the security level, 9 the
//     minutes left, 10 the emulation (0 ASCII, 1 ANSI, 2 Avatar, 3 RIP,
//     4 Max Graphics), 11 the node.
//   DOOR.SYS: line 1 the port ("COM0:" on the board's own console, "COM1:"
//     and on for a caller), 10 the caller's name, 19 the minutes left,
//     20 the graphics ("GR" ANSI, "NG" or "7E" none); later lines, up to
//     52, are not needed here.
//   DORINFOn.DEF (n the node, a digit or a letter; DORINFO.DEF has none):
//     thirteen lines; 1 the board's name, 2 and 3 the sysop's first and last
//     name, 4 the port ("COM0" the board's own console, any other: the
//     caller is on standard input and output), 5 the port's settings
//     ("38400 BAUD,N,8,1"), 6 reserved, 7 and 8 the caller's first and last
//     name, 9 the caller's town, 10 the graphics (0 none, any other number
//     ANSI), 11 the security level, 12 the minutes left, 13 -1 for a FOSSIL
//     port.
// Every field is the board's word only: what the door needs (the
// connection, the minutes, the graphics) refuses the file when it is not
// right; what it only keeps for the sysop's log (names, town, node,
// security) is dropped with a note when it is not.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class DropKind { Door32, DoorSys, DorInfo };
enum class DropConnection { Local, Serial, Telnet, Port };

// The most characters kept of a name (the caller's, the board's, a town).
inline constexpr std::size_t kLongestDropName = 64;
// The highest node and security level taken.
inline constexpr int kHighestNode = 65535;
inline constexpr int kHighestSecurity = 65535;
// A handle of -1: the board hands the caller over on standard input and output.
inline constexpr int64_t kStdioHandle = -1;
// The highest handle taken: Windows handles fit in 32 bits.
inline constexpr int64_t kHighestHandle = 0xffffffffLL;

struct DropFile {
    DropKind Kind = DropKind::Door32;
    DropConnection Connection = DropConnection::Local;
    int64_t Handle = 0;  // DOOR32.SYS: the connection's handle, kStdioHandle or 0 to kHighestHandle
    int HandleLine = 2;  // the line that gave it
    int MinutesLeft = 0;
    bool Ansi = true;  // false: plain ASCII only
    // For the sysop's log only, never drawn on the caller's screen: code
    // page 437 text without control bytes, at most kLongestDropName long,
    // empty where the board gave none (or none that could be kept).
    std::string Caller;  // the alias, else the real name
    std::string Board;
    std::string Town;
    std::optional<int> Node;      // 0 to kHighestNode
    std::optional<int> Security;  // 0 to kHighestSecurity
    // What was read, for the log: "DORINFO1.DEF, node 1".
    std::string Described;
    // One line each, naming the file and the line: values that were
    // dropped or cut, and how the caller's connection was found.
    std::vector<std::string> Notes;
};

// The kind's usual file name: "DOOR32.SYS", "DOOR.SYS", "DORINFO.DEF".
std::string_view DropKindName(DropKind kind);

// Reads Text, the drop file at Path. Answers false with Error set to one
// line naming the file and the line at fault (a missing line, a value that
// is no number or out of its range, a connection that cannot be served).
bool ParseDropFile(std::string_view text, const std::string& path, DropFile& drop, std::string& error);

// Reads the drop file at Path; false with one line in Error when it cannot
// be read or is not right.
bool ReadDropFile(const std::string& path, DropFile& drop, std::string& error);
