// One run of the magazine, as a value the program holds and hands down: the
// magazine it reads (its names and every issue's number, date and headline),
// the issue open now (its manifest and its files: only that one is read
// whole), the music playing its modules, and a board's caller's stay. The
// program-wide values the menus share (ASCII mode, the display speed, the
// screen of the menu in use...) stand beside it in app/program.h.
#pragma once

#include <string>

#include "app/caller_log.h"
#include "app/door.h"
#include "issue/issue.h"
#include "issue/magazine.h"
#include "music/music.h"

struct MagazineRun {
    issue::Magazine Magazine;
    issue::Issue Issue;  // the open issue
    Music Player;
    DoorStay Door;
    CallerLog Log;  // the sysop's, when --log names one
    // The issue the reader asked for (0: none): every menu leaves, and the
    // main menu opens it.
    int SwitchTo = 0;
    bool BackIssuesOpen = false;
    // The way out has begun: an end of input during it ends the program at
    // once instead of starting it again.
    bool Leaving = false;

    // Whether the magazine holds more than one issue: only then are there
    // back issues to read, and places name their issue.
    bool ManyIssues() const { return Magazine.Issues.size() > 1; }
    int OpenNumber() const { return Issue.Contents.Number; }
};
