// The rules an issue's modules must keep that their bytes tell: a format
// the sound library plays, and all of it (the library plays a module cut
// short without a word: the patterns and samples that are gone are silence).
// And the sound library's own file is a library of this platform.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace contentrules {

using Problems = std::vector<std::string>;




// The number of channels a MOD's signature at offset 1080 gives; 0 when
// it has none of the usual ones.
int ModChannels(std::string_view bytes);



// The size an XM or MOD module's headers add up to (as far as they are
// there: the walk through an XM stops where the file ends, so a cut file
// calls for at least that much); nullopt for another kind (or another
// version of XM), whose size is not checked.
std::optional<uint64_t> ModuleSize(std::string_view bytes);



// Says how much of the module is missing when it is shorter than its
// headers; nothing when it is whole or its size cannot be told.
std::optional<std::string> ModuleCutShort(std::string_view bytes);



// A tracker module the sound library can read: an XM, or a MOD with one of
// the usual signatures at offset 1080; and all of it.
Problems CheckModule(std::string_view name, std::string_view bytes);



// The sound library is a shared library of this platform.
Problems CheckLibrary(std::string_view name, std::string_view bytes);

}  // namespace contentrules
