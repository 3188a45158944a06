#include "app/resources.h"

#include "ansi/ansi_renderer.h"
#include "app/program.h"
#include "console/m_Console.h"
#include "issue/issue.h"

void ExtractResource(const std::string& Name, const std::string& FileName) {
    // The issue's files, or what the executable itself carries (the sound library).
    std::string error;
    const bool written = issue::TheIssue().Has(Name) ? issue::TryWriteIssueFile(Name, FileName, error)
                                                     : TryExtractResource(Name, FileName, error);
    if (!written) FatalError(error);
}

std::string_view ResourceContent(const std::string& Name) {
    bool found = false;
    const std::string_view bytes = issue::TheIssue().File(Name, found);
    if (!found) FatalError("resource " + FoldCase(Name) + " is missing from the issue");
    return bytes;
}

void ShowResourceScreen(const std::string& Name) {
    SetTextColor(7);
    ClearScreen();
    ShowAnsiBytes(ResourceContent(Name), DisplaySpeed);
}

void ShowLogo() { ShowResourceScreen("logo" + AsciiSuffix); }

void ShowHelpScreen() {
    ShowResourceScreen("help");
    ReadKey();
    SetTextColor(7);
    ClearScreen();
    ShowCurrentScreen(DisplaySpeed);
}

void ShowCurrentScreen(int32_t PauseInterval) {
    bool found = false;
    const std::string_view screen = issue::TheIssue().File(CurrentScreenFile, found);
    if (found) ShowAnsiBytes(screen, PauseInterval);
}
