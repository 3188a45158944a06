// The articles and tutorials sections, and the header screens of entries.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "viewer/text_viewer.h"

struct ArticleEntry {
    std::string Label;
    std::string Resource;
    std::string Title;
    std::string Author;
    std::string Category;
};

// Runs of marker characters found on a header screen: column, row,
// attribute of the first cell, length.
extern std::vector<TCoord> HeaderFields;

void ArticlesSection();
void TutorsSection();
void OpenArticle(const std::string& Resource, const std::string& Title, const std::string& Author,
                 const std::string& Category, int32_t PauseInterval);
void ScanHeaderFields(char Marker, char Replacement);
void WriteHeaderField(int Index, const std::string& Text);
void ClearHeaderFields();
