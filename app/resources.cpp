#include "app/resources.h"

#include "ansi/ansi_renderer.h"
#include "app/program.h"
#include "app/public_mode.h"
#include "console/m_Console.h"

void ExtractResource(const issue::Issue& Issue, const std::string& Name, const std::string& FileName) {
    // The issue's files, or what the executable itself carries (the sound library).
    std::string error;
    const bool written = Issue.Has(Name) ? issue::TryWriteIssueFile(Issue, Name, FileName, error)
                                         : TryExtractResource(Name, FileName, error);
    if (!written) FatalError(error);
}

std::string_view ResourceContent(const issue::Issue& Issue, const std::string& Name) {
    bool found = false;
    const std::string_view bytes = Issue.File(Name, found);
    if (!found) FatalError("resource " + FoldCase(Name) + " is missing from the issue");
    return bytes;
}

void ShowResourceScreen(const issue::Issue& Issue, const std::string& Name) {
    SetTextColor(7);
    ClearScreen();
    ShowAnsiBytes(ResourceContent(Issue, Name), DisplaySpeed);
    MarkWhatTheLineLacks();
}

void ShowLogo(const issue::Issue& Issue) { ShowResourceScreen(Issue, "logo" + AsciiSuffix); }

void ShowHelpScreen(const issue::Issue& Issue) {
    ShowResourceScreen(Issue, "help");
    ReadKey();
    SetTextColor(7);
    ClearScreen();
    ShowCurrentScreen(Issue, DisplaySpeed);
}

void ShowCurrentScreen(const issue::Issue& Issue, int32_t PauseInterval) {
    bool found = false;
    const std::string_view screen = Issue.File(CurrentScreenFile, found);
    if (!found) return;
    ShowAnsiBytes(screen, PauseInterval);
    MarkWhatTheLineLacks();
}
