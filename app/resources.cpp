#include "resources.h"

#include "../ansi/ansi_renderer.h"
#include "../console/m_Console.h"
#include "program.h"
#include "workfiles.h"

namespace {

// One-shot screens go through this file of the working folder.
constexpr const char* OneShotFile = "tmp.ans";

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Upper(std::string(1, a[i])) != Upper(std::string(1, b[i]))) return false;
    return true;
}

}  // namespace

const ResourceData* FindResource(std::string_view name) {
    for (std::size_t i = 0; i < EmbeddedResourceCount; ++i)
        if (SameName(EmbeddedResources[i].Name, name)) return &EmbeddedResources[i];
    return nullptr;
}

bool TryExtractResource(const std::string& Name, const std::string& FileName, std::string& error) {
    const ResourceData* resource = FindResource(Name);
    if (!resource) {
        error = "resource " + Upper(Name) + " is missing from the executable";
        return false;
    }
    if (WriteWorkFile(FileName, resource->Data, resource->Size, error)) return true;
    error = "cannot write " + FileName + ": " + error;
    return false;
}

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
