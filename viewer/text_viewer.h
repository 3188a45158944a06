// The scrolling viewer for pipe-coded texts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "console/m_Console.h"

// Four bytes. As a window: first column, first row, width in columns, and
// the number of rows below the first row.
struct TCoord {
    Byte X = 0;
    Byte Y = 0;
    Byte Width = 0;
    Byte Height = 0;
};

// What the program's policy makes of the viewer's keys.
struct ViewerSettings {
    // When not empty, Ctrl+S shows this notice instead of the save dialog
    // (a public board saves nothing for its readers).
    std::string SavingOffNotice;
};

class ttextviewer {
public:
    ttextviewer() = default;
    virtual ~ttextviewer() = default;

    void Load(const std::string& FileName);
    // Loads a text in memory, split into lines as Load splits a file.
    void LoadText(std::string_view Bytes);
    void Run();
    void ClearWindow();
    void DrawScrollBar();
    void HighlightMatch();
    void FindFrom(int32_t Start);
    void ShowViewerHelp();

    Byte Fore = 7;
    Byte Back = 16;
    std::vector<std::string> Lines;
    // Set when the file could not be read: Lines then hold a notice, not the
    // text, and are never saved in its place.
    bool Unreadable = false;
    int32_t TopLine = 0;
    int32_t LeftCol = 0;
    bool ShowScrollBar = true;
    Byte BarFore = 7;
    Byte BarBack = 0;
    TCoord Window{};
    TCoord SavedWindow{};
    bool FullScreen = false;
    ViewerSettings Settings;

private:
    void ClampTop();
    void DrawPage();
    void DescribePage() const;
    void ExtendedKeyPressed(Byte code);
    void PlainKeyPressed(char key);
    void SaveToFile();
    void ToggleFullScreen();
    int32_t LongestLine() const;

    // State of one run.
    std::string SearchWord;
    bool Found = false;
    int32_t FoundCol = 0;
    // The line of the match. It stands on the first row unless the last
    // page is clamped full; the highlight and find-again follow it.
    int32_t FoundLine = 0;
    // The screen as it was when full-screen mode began.
    TScreenImage BeforeFullScreen{};
};

void ViewTextFile(const std::string& FileName, Byte X, Byte Y, Byte Width, Byte Height,
                  const ViewerSettings& Settings = {});
// The same for a text in memory (taken straight from the resources).
void ViewText(std::string_view Bytes, Byte X, Byte Y, Byte Width, Byte Height, const ViewerSettings& Settings = {});
