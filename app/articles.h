// The sections of texts (articles and tutorials: the section table's
// "entries" sections), and the header screens of their entries.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "issue/issue.h"
#include "issue/sections.h"
#include "app/public_mode.h"
#include "viewer/text_viewer.h"

struct MagazineRun;

// Runs of marker characters found on a header screen: column, row,
// attribute of the first cell, length.
extern std::vector<TCoord> HeaderFields;

// The menu of Section's entries (the open issue's list of that name) over
// its screen; an entry opens under the header screen.
void EntriesSection(MagazineRun& Run, const issue::Section& Section);
void ArticlesSection(MagazineRun& Run);
void TutorsSection(MagazineRun& Run);
void OpenArticle(const issue::Issue& Issue, const std::string& Resource, const std::string& Title,
                 const std::string& Author, const std::string& Category, int32_t PauseInterval,
                 const ViewerSettings& Settings = ViewerPolicy());
void ScanHeaderFields(char Marker, char Replacement);
void WriteHeaderField(int Index, const std::string& Text);
void ClearHeaderFields();
