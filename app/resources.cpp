#include "resources.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "../ansi/ansi_renderer.h"
#include "../console/m_Console.h"
#include "program.h"

namespace {

// One-shot screens go through this file in the working directory.
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

void ExtractResource(const std::string& Name, const std::string& FileName) {
    const ResourceData* resource = FindResource(Name);
    if (!resource) FatalError("resource " + Upper(Name) + " is missing from the executable");
    std::ofstream out(FileName, std::ios::binary | std::ios::trunc);
    if (out) out.write(reinterpret_cast<const char*>(resource->Data), static_cast<std::streamsize>(resource->Size));
    if (out) out.close();
    if (!out) FatalError("cannot write " + FileName + ": " + std::strerror(errno));
}

void ShowResourceScreen(const std::string& Name) {
    SetTextColor(7);
    ClearScreen();
    ExtractResource(Name, OneShotFile);
    ShowAnsiFile(OneShotFile, DisplaySpeed);
    std::remove(OneShotFile);
}

void ShowLogo() { ShowResourceScreen("logo" + AsciiSuffix); }

void ShowHelpScreen() {
    ShowResourceScreen("help");
    ReadKey();
    SetTextColor(7);
    ClearScreen();
    ShowAnsiFile(CurrentScreenFile, DisplaySpeed);
}
