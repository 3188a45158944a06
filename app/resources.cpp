#include "app/resources.h"

#include "ansi/ansi_renderer.h"
#include "app/program.h"
#include "console/m_Console.h"
#include "sys/workfiles.h"

namespace {

// One-shot screens go through this file of the working folder.
constexpr const char* OneShotFile = "tmp.ans";

}  // namespace

void ExtractResource(const std::string& Name, const std::string& FileName) {
    std::string error;
    if (!TryExtractResource(Name, FileName, error)) FatalError(error);
}

void ShowResourceScreen(const std::string& Name) {
    SetTextColor(7);
    ClearScreen();
    const std::string file = WorkFile(OneShotFile);
    ExtractResource(Name, file);
    ShowAnsiFile(file, DisplaySpeed);
    RemoveWorkFile(file);
}

bool ShowResourceScreenIfWritable(const std::string& Name) {
    SetTextColor(7);
    ClearScreen();
    const std::string file = WorkFile(OneShotFile);
    std::string error;
    if (!TryExtractResource(Name, file, error)) return false;
    ShowAnsiFile(file, DisplaySpeed);
    RemoveWorkFile(file);
    return true;
}

void ShowLogo() { ShowResourceScreen("logo" + AsciiSuffix); }

void ShowHelpScreen() {
    ShowResourceScreen("help");
    ReadKey();
    SetTextColor(7);
    ClearScreen();
    ShowAnsiFile(CurrentScreenFile, DisplaySpeed);
}
