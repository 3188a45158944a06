// The resources as a table generated at build time, where the platform has
// no resources of its own (everywhere but Windows).
#include "sys/resources.h"
#include "sys/text.h"

const ResourceData* FindResource(std::string_view name) {
    for (std::size_t i = 0; i < EmbeddedResourceCount; ++i)
        if (SameIgnoringCase(EmbeddedResources[i].Name, name)) return &EmbeddedResources[i];
    return nullptr;
}

std::vector<std::string> ResourceNames() {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < EmbeddedResourceCount; ++i) names.emplace_back(EmbeddedResources[i].Name);
    return names;
}
