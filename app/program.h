// Program-wide state, the global hot keys, the switch summary and shutdown.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "music/music.h"  // the music's part of the state

extern std::string AsciiSuffix;  // "" or "_asc"
extern int32_t DisplaySpeed;     // pause interval of single screens
extern bool TrackMenuOpen;
extern std::string ProgramDir;  // ends in the path separator
// The screen of the menu in use, which the help screen and the track menu
// draw again when they close: the name of its resource, with the mode's
// suffix as it was when the menu began.
extern std::string CurrentScreenFile;

// The program entry's work: start-up, main menu, exit screen. Answers the
// exit status.
int RunMagazine(int argc, char** argv);

// Reads the switches; answers false when the program must end (after the
// switch summary was printed).
bool ReadCommandLine(int argc, char** argv);

// The value after the switch Name ("--issue PATH") in Args, or "" when it
// is absent; switches are matched in any case.
std::string ValueOf(const std::vector<std::string>& args, const std::string& name);
bool HasSwitch(const std::vector<std::string>& args, const std::string& name);

// Writes the switch summary.
void PrintUsage();

// The key procedure every section menu installs.
void GlobalHotKey(char Key, int32_t Highlighted);
// Whether GlobalHotKey acts on Key now (the menus do not search for it).
bool IsGlobalHotKey(char Key);

// Exit screen, music release, removal of the program's files.
void ExitScreen();

// Ends the program with Status; the console is given back first.
[[noreturn]] void EndProgram(int status);
