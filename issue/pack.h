// An issue's pack: the files of an issue folder as a zip. A pack is read
// from memory, alone or at the end of other bytes (an executable that
// carries its issue, as self-extracting archives do), and is untrusted:
// names that could leave a folder, too many or too large entries and a
// damaged table are refused with one line, before anything is used.
#pragma once

#include <cstddef>
#include <memory>
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

// Unpacks the zip at the end of Bytes into Files: the pack of one issue,
// whose entries are plain names. Answers false with one line in Error when
// the pack is damaged or breaks a rule above.
bool ReadPack(std::string_view bytes, PackFiles& files, std::string& error);

// Whether Name may be an entry of a magazine's pack: a plain name, or a
// plain name in one folder of a plain name ("2/logo.ans").
bool IsPackEntryName(std::string_view name);

// A pack opened for reading: its table of contents read and checked when it
// is opened, its entries unpacked only when asked for, so that one issue of
// a magazine's pack is read without the others. Over bytes in memory (which
// must outlive the reader) or over a file, read a piece at a time.
class PackReader {
public:
    PackReader();
    ~PackReader();
    PackReader(PackReader&&) noexcept;
    PackReader& operator=(PackReader&&) noexcept;
    PackReader(const PackReader&) = delete;
    PackReader& operator=(const PackReader&) = delete;

    // Answers false with one line in Error when the pack is damaged, holds
    // a name that is no entry name (IsPackEntryName), a name twice, or more
    // entries than MaxMagazineEntries.
    bool OpenBytes(std::string_view bytes, std::string& error);
    bool OpenFile(const std::string& path, std::string& error);

    // The entries' names as stored, in the pack's order.
    const std::vector<std::string>& Names() const { return names_; }

    // Unpacks the entries Names (as stored) into Files, each under its name
    // without the folder, within the limits of one issue (MaxPackEntries,
    // MaxEntryBytes, MaxPackBytes in all). Answers false with one line.
    bool Unpack(const std::vector<std::string>& names, PackFiles& files, std::string& error);

private:
    bool Take(std::string& error);
    struct Source;
    std::unique_ptr<Source> source_;
    std::vector<std::string> names_;
};

// A magazine's pack holds at most this many entries: its issues' files,
// each issue within the limits above.
inline constexpr std::size_t MaxMagazineEntries = 100000;

// Bytes followed by a zip of Files, whose offsets count from the start of
// the whole (so that zip tools read it without a warning). Answers false
// with the reason in Error.
bool WritePack(std::string_view prefix, const PackFiles& files, std::string& out, std::string& error);

}  // namespace issue
