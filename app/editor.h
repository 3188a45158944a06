// What the magazine does for its editors, besides being read: it takes its
// issue from the pack at the end of its own file (or from the folder or pack
// that --issue names), draws one screen (--show), checks an issue folder
// (--check) and writes the editions of one (--pack).
#pragma once

#include <string>
#include <vector>

#include "issue/magazine.h"

// The switches for editors that end the run at once: --check FOLDER and
// --pack FOLDER OUT [--linux] [--windows] [--web]. Answers the exit status
// when Args (the command line without the program's name) holds one, else
// -1 and the magazine runs.
int RunEditorCommand(const std::string& ownExecutable, const std::vector<std::string>& args);

// Chooses the magazine the program shows: the one --issue PATH names (a
// magazine's or an issue's folder, or a pack; not in public mode), else the
// pack at the end of OwnExecutable, else the issue built in. Answers false
// with one line in Error when the one chosen cannot be read.
bool ChooseMagazine(const std::string& ownExecutable, const std::vector<std::string>& args, issue::Magazine& chosen,
                    std::string& error);

// The issue to open first: the one --read N names, else the newest.
// Answers false with one line in Error for a number the magazine does not
// hold.
bool IssueToRead(const issue::Magazine& magazine, const std::vector<std::string>& args, int& number,
                 std::string& error);

// The file --show FILE names, or "" when the switch is not given.
std::string ScreenToShow(const std::vector<std::string>& args);

// Draws the screen or piece File as the magazine draws it, on a cleared
// screen; Esc finishes the drawing at once, any key then ends the run.
void ShowScreenFile(const std::string& File);
