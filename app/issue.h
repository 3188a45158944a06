// The issue's tables: what the sections, the gallery and the track menu
// list, in menu order, taken from the manifest of the issue shown (the
// built-in one until ShowIssue gives another).
#pragma once

#include <string>
#include <vector>

#include "app/articles.h"
#include "issue/issue.h"

struct GalleryPiece {
    std::string Label;     // text of the menu entry
    std::string Resource;  // the artwork
    std::string SaveName;  // the name the save dialog proposes
    int Width = 0;         // columns it is laid out in (0: as its SAUCE record says, else 80)
};

struct TrackEntry {
    std::string Label;   // text of the menu entry
    std::string Module;  // resource of the module it plays
};

extern int IssueNumber;
extern std::string IssueDate;
extern std::vector<ArticleEntry> ArticleEntries;
extern std::vector<ArticleEntry> TutorEntries;
extern std::vector<GalleryPiece> GalleryPieces;
extern std::vector<TrackEntry> TrackEntries;

// Makes Issue the one the program shows, and the tables above its.
void ShowIssue(issue::Issue Issue);
