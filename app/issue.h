// The issue's tables: what the sections, the gallery and the track menu
// list, in menu order. They are generated at build time from the manifest
// of the issue folder (issue.toml), so a new issue needs no change here.
#pragma once

#include <string>
#include <vector>

#include "app/articles.h"

struct GalleryPiece {
    std::string Label;     // text of the menu entry
    std::string Resource;  // the artwork
    std::string SaveName;  // the name the save dialog proposes
};

struct TrackEntry {
    std::string Label;   // text of the menu entry
    std::string Module;  // resource of the module it plays
};

extern const int IssueNumber;
extern const std::string IssueDate;
extern const std::vector<ArticleEntry> ArticleEntries;
extern const std::vector<ArticleEntry> TutorEntries;
extern const std::vector<GalleryPiece> GalleryPieces;
extern const std::vector<TrackEntry> TrackEntries;
