// The back issues (hot key B, in a magazine of more than one issue): every
// issue of the magazine, newest first, in a framed menu over whatever is on
// the screen. Choosing another issue opens it at its main menu; Esc, and the
// last entry, give back the screen as it was.
#pragma once

#include <string>

#include "issue/magazine.h"

struct MagazineRun;

void BackIssuesMenu(MagazineRun& Run);

// An issue's entry in the menu: its number (as "#2"), its date and its
// headline, cut to Width columns; the issue being read is marked.
std::string BackIssueLabel(const issue::IssueSummary& Issue, bool Open, int Width);

// Makes sure that issue Number's files are where Magazine.Open reads them:
// in a page, an issue whose pack lies beside the magazine's shelf and has not
// come yet is fetched now, the page saying under the screen that it is
// loading. Elsewhere every issue's files are at hand. Answers false with one
// line when they did not come.
bool BringIssue(const issue::Magazine& Magazine, int Number, std::string& Error);

// Brings issue Number (BringIssue); one that did not come is said in a
// notice over the screen, which is then as it was.
bool BringIssueOrSay(const issue::Magazine& Magazine, int Number);

// Opens the issue Run.SwitchTo asked for: every section, the gallery, the
// twins, the music and the logo are that issue's from now on. An issue that
// cannot be read is said in a notice, and the open one stays.
void SwitchIssue(MagazineRun& Run);
