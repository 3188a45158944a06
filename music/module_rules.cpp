#include "music/module_rules.h"

#include <algorithm>

namespace contentrules {

// --- How long a module says it is --------------------------------------------
//
// The sound library plays a module cut short without a word: the patterns
// and samples that are gone are silence. So the checker adds up the sizes
// that a module's own headers give and compares them with the file.
namespace module_size {

// Little- and big-endian numbers at Pos; 0 beyond the end (the total then
// comes out larger than the file, which is what a cut file is).
uint64_t Le(std::string_view b, uint64_t pos, int bytes) {
    uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | (pos + i < b.size() ? static_cast<unsigned char>(b[pos + i]) : 0u);
    return v;
}
uint64_t Be(std::string_view b, uint64_t pos, int bytes) {
    uint64_t v = 0;
    for (int i = 0; i < bytes; ++i) v = (v << 8) | (pos + i < b.size() ? static_cast<unsigned char>(b[pos + i]) : 0u);
    return v;
}

// XM 1.04: a header whose size is given at offset 60; then each pattern
// (its header's size, then packed data whose size is in the header); then
// each instrument (its header's size; with samples, their headers of the
// size the instrument gives, then the samples' data).
// Counts beyond the format's limits (256 patterns, 128 instruments, 16
// samples to an instrument) or an instrument header shorter than its own
// fixed fields make no XM whose size can be told.
std::optional<uint64_t> Xm(std::string_view b) {
    if (b.size() < 80 || Le(b, 58, 2) != 0x0104) return std::nullopt;
    const uint64_t patterns = Le(b, 70, 2), instruments = Le(b, 72, 2);
    if (patterns > 256 || instruments > 128) return std::nullopt;
    uint64_t at = 60 + Le(b, 60, 4);
    for (uint64_t p = 0; p < patterns && at <= b.size(); ++p) at += Le(b, at, 4) + Le(b, at + 7, 2);
    for (uint64_t i = 0; i < instruments && at <= b.size(); ++i) {
        const uint64_t samples = Le(b, at + 27, 2);
        const uint64_t headerSize = samples > 0 ? Le(b, at + 29, 4) : 0;
        if (samples > 16 || Le(b, at, 4) < 29) return std::nullopt;
        at += Le(b, at, 4);
        uint64_t data = 0;
        for (uint64_t s = 0; s < samples; ++s) data += Le(b, at + s * headerSize, 4);
        at += samples * headerSize + data;
    }
    return at;
}

// MOD: 1084 bytes of header, a pattern of 64 rows for every number up to
// the highest in the order list, then the 31 samples (lengths in words).
std::optional<uint64_t> Mod(std::string_view b, int channels) {
    uint64_t highest = 0;
    for (uint64_t i = 0; i < 128; ++i) highest = std::max(highest, Le(b, 952 + i, 1));
    uint64_t samples = 0;
    for (uint64_t s = 0; s < 31; ++s) samples += 2 * Be(b, 20 + 30 * s + 22, 2);
    return 1084 + (highest + 1) * 64 * 4 * static_cast<uint64_t>(channels) + samples;
}

}

  // namespace module_size

int ModChannels(std::string_view bytes) {
    if (bytes.size() < 1084) return 0;
    const std::string_view sig = bytes.substr(1080, 4);
    for (std::string_view four : {"M.K.", "M!K!", "4CHN", "FLT4"})
        if (sig == four) return 4;
    if (sig == "6CHN") return 6;
    if (sig == "8CHN" || sig == "FLT8") return 8;
    return 0;
}

std::optional<uint64_t> ModuleSize(std::string_view bytes) {
    if (bytes.substr(0, 17) == "Extended Module: ") return module_size::Xm(bytes);
    if (const int channels = ModChannels(bytes)) return module_size::Mod(bytes, channels);
    return std::nullopt;
}

std::optional<std::string> ModuleCutShort(std::string_view bytes) {
    const auto size = ModuleSize(bytes);
    if (!size || *size <= bytes.size()) return std::nullopt;
    return "is cut short: its headers call for at least " + std::to_string(*size) + " bytes, the file has " +
           std::to_string(bytes.size());
}

Problems CheckModule(std::string_view name, std::string_view bytes) {
    if (bytes.substr(0, 17) != "Extended Module: " && ModChannels(bytes) == 0)
        return {std::string(name) + ": is neither an XM nor a MOD module"};
    if (const auto cut = ModuleCutShort(bytes)) return {std::string(name) + ": " + *cut};
    return {};
}

Problems CheckLibrary(std::string_view name, std::string_view bytes) {
#ifdef _WIN32
    const bool ok = bytes.substr(0, 2) == "MZ";
#else
    const bool ok = bytes.substr(0, 4) == "\x7f"
                                          "ELF";
#endif
    if (ok) return {};
    return {std::string(name) + ": is not a shared library of this platform"};
}

}  // namespace contentrules
