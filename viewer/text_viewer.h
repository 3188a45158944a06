// The scrolling viewer for pipe-coded texts.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "console/m_Console.h"

// What the program's policy makes of the viewer's keys.
struct ViewerSettings {
    // When not empty, Ctrl+S shows this notice instead of the save dialog
    // (a public board saves nothing for its readers).
    std::string SavingOffNotice;
    // Told each time the notice answers Ctrl+S (for a sysop's log).
    std::function<void()> SavingRefused;
    // The line of the viewer's help that offers saving says instead that
    // saving is off (with SavingOffNotice).
};

class ttextviewer {
public:
    ttextviewer() = default;
    virtual ~ttextviewer() = default;

    void Load(const std::string& FileName);
    // Loads a text in memory, split into lines as Load splits a file.
    void LoadText(std::string_view Bytes);
    // With plain lines (conapi::ShowsPlainLines) the text comes as pages of
    // lines instead, under what the screen holds above the window.
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
    void RunPages();
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

// The line of the viewer's help for Ctrl+S, where saving is on and where
// it is off.
inline const std::string ViewerSaveHelp = "CTRL + S : Save file to disk";
inline const std::string ViewerSavingOffHelp = "CTRL + S : Saving is off on this line";

// The prompts under a page of plain lines, and under the last.
inline const std::string PlainMorePrompt = "-- more: enter or space for the next page, esc or q leaves --";
inline const std::string PlainEndPrompt = "-- the end: any key leaves --";
// Lines of text on a page of plain lines.
constexpr int PlainPageLines = 20;

void ViewTextFile(const std::string& FileName, Byte X, Byte Y, Byte Width, Byte Height,
                  const ViewerSettings& Settings = {});
// The same for a text in memory (taken straight from the resources).
void ViewText(std::string_view Bytes, Byte X, Byte Y, Byte Width, Byte Height, const ViewerSettings& Settings = {});
