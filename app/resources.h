// The content, embedded in the executable as named resources, and
// the ways screens are taken out of it and shown.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

struct ResourceData {
    std::string_view Name;       // stored in capitals
    const unsigned char* Data;
    std::size_t Size;
};

// The embedded table (generated at build time).
extern const ResourceData EmbeddedResources[];
extern const std::size_t EmbeddedResourceCount;

// The resource of that name, ignoring case; nullptr when there is none.
const ResourceData* FindResource(std::string_view name);

// Writes the resource's bytes to FileName, a file of the working folder,
// replacing the file. A missing resource or a file that cannot be written
// ends the program with an error.
void ExtractResource(const std::string& Name, const std::string& FileName);
// The same, answering false with the reason in Error instead of ending.
bool TryExtractResource(const std::string& Name, const std::string& FileName, std::string& error);

// Draws one screen resource through "tmp.ans" in the working folder.
void ShowResourceScreen(const std::string& Name);
// The same where the program is leaving anyway: a screen that cannot be
// written (a full disk) is skipped; answers whether it was drawn.
bool ShowResourceScreenIfWritable(const std::string& Name);
void ShowLogo();
void ShowHelpScreen();
