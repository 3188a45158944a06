// An issue's pack: the files of an issue folder as a zip. A pack is read
// from memory, alone or at the end of other bytes (an executable that
// carries its issue, as self-extracting archives do), and is untrusted:
// names that could leave a folder, too many or too large entries and a
// damaged table are refused with one line, before anything is used.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace issue {

// What a pack may hold: more entries, or more bytes unpacked, are refused
// before they are unpacked (a small zip can claim gigabytes).
inline constexpr std::size_t MaxPackEntries = 1000;
inline constexpr std::size_t MaxEntryBytes = 16u << 20;
inline constexpr std::size_t MaxPackBytes = 64u << 20;

// A file of the issue: its plain name ("logo.ans") and its bytes.
struct PackFile {
    std::string Name;
    std::string Bytes;
};
using PackFiles = std::vector<PackFile>;

// Whether Name may be a file of a pack: a plain name of printable
// characters, no folder part, no drive, not "." or "..".
bool IsPlainFileName(std::string_view name);

// Whether Bytes end with a zip's end record, as a pack appended to an
// executable does (and a file that carries none does not).
bool EndsWithPack(std::string_view bytes);

// How far from the end of a file EndsWithPack looks: the end record and the
// longest comment it may carry.
inline constexpr std::size_t PackEndSearch = 22 + 0xFFFF;

// Unpacks the zip at the end of Bytes into Files. Answers false with one
// line in Error when the pack is damaged or breaks a rule above.
bool ReadPack(std::string_view bytes, PackFiles& files, std::string& error);

// Bytes followed by a zip of Files, whose offsets count from the start of
// the whole (so that zip tools read it without a warning). Answers false
// with the reason in Error.
bool WritePack(std::string_view prefix, const PackFiles& files, std::string& out, std::string& error);

}  // namespace issue
