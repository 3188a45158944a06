#include "resources.h"

#include "../ansi/ansi_renderer.h"
#include "../console/m_Console.h"
#include "program.h"
#include "workfiles.h"

#ifdef _WIN32
#include <windows.h>
#include <map>
#endif

namespace {

// One-shot screens go through this file of the working folder.
constexpr const char* OneShotFile = "tmp.ans";

#ifndef _WIN32
bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Upper(std::string(1, a[i])) != Upper(std::string(1, b[i]))) return false;
    return true;
}
#endif

}  // namespace

#ifdef _WIN32
#undef FindResource

// On Windows the content is the executable's own RCDATA resources, stored
// under names in capitals; the system looks names up ignoring case. Each
// resource found is remembered, so that every lookup of a name answers the
// same entry.
const ResourceData* FindResource(std::string_view name) {
    // A name beginning with '#' would be read as a resource number.
    if (name.empty() || name.front() == '#') return nullptr;
    std::wstring wide;
    for (unsigned char c : name) {
        if (c < 0x20 || c >= 0x80) return nullptr;  // resource names are plain ASCII
        wide += static_cast<wchar_t>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    }
    static std::map<std::wstring, std::pair<std::string, ResourceData>> found;
    if (auto known = found.find(wide); known != found.end()) return &known->second.second;

    HRSRC info = ::FindResourceW(nullptr, wide.c_str(), MAKEINTRESOURCEW(10));  // RCDATA
    HGLOBAL loaded = info ? ::LoadResource(nullptr, info) : nullptr;
    const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
    if (bytes == nullptr) return nullptr;
    auto& entry = found[wide];
    entry.first.assign(wide.begin(), wide.end());
    entry.second = ResourceData{entry.first, static_cast<const unsigned char*>(bytes),
                                static_cast<std::size_t>(::SizeofResource(nullptr, info))};
    return &entry.second;
}
#else
const ResourceData* FindResource(std::string_view name) {
    for (std::size_t i = 0; i < EmbeddedResourceCount; ++i)
        if (SameName(EmbeddedResources[i].Name, name)) return &EmbeddedResources[i];
    return nullptr;
}
#endif

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
