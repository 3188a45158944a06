// Program-wide state, the global hot keys, the switch summary and shutdown.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "issue/manifest.h"
#include "music/music.h"  // the music's part of the state

struct MagazineRun;

extern std::string AsciiSuffix;  // "" or "_asc"
extern int32_t DisplaySpeed;     // pause interval of single screens
extern bool TrackMenuOpen;
extern std::string ProgramDir;  // ends in the path separator
// The screen of the menu in use, which the help screen and the track menu
// draw again when they close: the name of its resource, with the mode's
// suffix as it was when the menu began.
extern std::string CurrentScreenFile;

// Every program-wide value above (and the music's, and the line editor's end
// keys) as the program starts: the start-up sets them so, as does a test
// that begins a run of its own.
void ResetProgramWideValues();

// The program entry's work: start-up, main menu, exit screen. Answers the
// exit status.
int RunMagazine(int argc, char** argv);

// Reads the switches; answers false when the program must end (after the
// switch summary was printed).
bool ReadCommandLine(const issue::Manifest& Names, int argc, char** argv);

// The value after the switch Name ("--issue PATH") in Args, or "" when it
// is absent; switches are matched in any case.
std::string ValueOf(const std::vector<std::string>& args, const std::string& name);
bool HasSwitch(const std::vector<std::string>& args, const std::string& name);

// The switch summary's lines ("" for an empty line), with the contact line
// of the magazine Names: the magazine's own switches, then one line for
// each switch it adds.
std::vector<std::string> UsageLines(const issue::Manifest& Names);
// Writes the switch summary.
void PrintUsage(const issue::Manifest& Names);

// The key procedure every section menu installs.
void GlobalHotKey(MagazineRun& Run, char Key, int32_t Highlighted);
// Whether GlobalHotKey acts on Key now (the menus do not search for it).
bool IsGlobalHotKey(const MagazineRun& Run, char Key);

// Exit screen, music release, removal of the program's files.
void ExitScreen(MagazineRun& Run);

// Ends the program with Status; the console is given back first.
[[noreturn]] void EndProgram(int status);
