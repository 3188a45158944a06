#include "issue/site_tracks.h"

#include <algorithm>

namespace issue {

namespace {

// cmake/Web.cmake writes the same notes for the issue built into the page.
constexpr std::string_view NoteStart = "quixmag track beside the page: ";
// Longer than any name an issue's manifest allows.
constexpr std::size_t MaxNameLength = 128;

// A plain file name of the tracks folder: no separator, no "..", nothing
// that a URL would read as more than a file name.
bool PlainName(std::string_view name) {
    if (name.empty() || name.size() > MaxNameLength || name.front() == '.') return false;
    return std::all_of(name.begin(), name.end(), [](unsigned char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '_' ||
               c == '-';
    });
}

}  // namespace

std::string TrackPlanes(std::string_view module) {
    std::string planes;
    planes.reserve(module.size());
    for (std::size_t i = 0; i < module.size(); i += 2) planes += module[i];
    for (std::size_t i = 1; i < module.size(); i += 2) planes += module[i];
    return planes;
}

std::string TrackNote(const std::string& file, int number) {
    const std::string folder = number > 0 ? std::to_string(number) + "/" : "";
    return std::string(NoteStart) + std::string(SiteTracksFolder) + folder + file + "\n";
}

std::string TrackNotePath(std::string_view bytes) {
    if (!bytes.starts_with(NoteStart)) return {};
    bytes.remove_prefix(NoteStart.size());
    if (bytes.ends_with('\n')) bytes.remove_suffix(1);
    if (!bytes.starts_with(SiteTracksFolder)) return {};
    std::string_view name = bytes.substr(SiteTracksFolder.size());
    // An issue's folder of a magazine's site: its number, then the name.
    const std::size_t slash = name.find('/');
    if (slash != std::string_view::npos) {
        const std::string_view number = name.substr(0, slash);
        if (number.empty() || number.size() > 4 || number.front() == '0' ||
            !std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return {};
        name.remove_prefix(slash + 1);
    }
    if (!PlainName(name)) return {};
    return std::string(bytes);
}

}  // namespace issue
