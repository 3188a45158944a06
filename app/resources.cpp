#include "app/resources.h"

#include "ansi/ansi_renderer.h"
#include "app/program.h"
#include "console/m_Console.h"

void ExtractResource(const std::string& Name, const std::string& FileName) {
    std::string error;
    if (!TryExtractResource(Name, FileName, error)) FatalError(error);
}

std::string_view ResourceContent(const std::string& Name) {
    const ResourceData* resource = FindResource(Name);
    if (!resource) FatalError("resource " + FoldCase(Name) + " is missing from the executable");
    return resource->Bytes();
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
    if (const ResourceData* screen = FindResource(CurrentScreenFile)) ShowAnsiBytes(screen->Bytes(), PauseInterval);
}
