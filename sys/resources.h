// The content inside the executable: named resources, found by name
// ignoring case. On Windows they are the executable's RCDATA resources;
// elsewhere a table generated at build time.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct ResourceData {
    std::string_view Name;  // stored in capitals
    const unsigned char* Data;
    std::size_t Size;

    std::string_view Bytes() const { return {reinterpret_cast<const char*>(Data), Size}; }
};

// The embedded table (generated at build time; not on Windows).
extern const ResourceData EmbeddedResources[];
extern const std::size_t EmbeddedResourceCount;

// The resource of that name, ignoring case; nullptr when there is none.
#ifdef FindResource
#undef FindResource  // the Windows headers' macro of the same name
#endif
const ResourceData* FindResource(std::string_view name);

// The names of every resource the executable carries, in capitals.
std::vector<std::string> ResourceNames();

// Writes the resource's bytes to FileName, a file of the working folder,
// replacing the file. Answers false with the reason in Error when the
// resource is missing or the file cannot be written.
bool TryExtractResource(const std::string& Name, const std::string& FileName, std::string& error);
