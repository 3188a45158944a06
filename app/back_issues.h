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

// Opens the issue Run.SwitchTo asked for: every section, the gallery, the
// twins, the music and the logo are that issue's from now on. An issue that
// cannot be read is said in a notice, and the open one stays.
void SwitchIssue(MagazineRun& Run);
