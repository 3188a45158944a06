#include "sys/resources.h"

#include "sys/text.h"
#include "sys/workfiles.h"

bool TryExtractResource(const std::string& Name, const std::string& FileName, std::string& error) {
    const ResourceData* resource = FindResource(Name);
    if (!resource) {
        error = "resource " + FoldCase(Name) + " is missing from the executable";
        return false;
    }
    if (WriteWorkFile(FileName, resource->Data, resource->Size, error)) return true;
    error = "cannot write " + FileName + ": " + error;
    return false;
}
