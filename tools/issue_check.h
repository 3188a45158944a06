// Checks an issue folder before it is built: its manifest, every file the
// issue needs, and each file against the content rules (content_rules.h),
// speaking to the editor who made them. Each problem is one line,
// "FILE:LINE: what is wrong; how to fix it" (FILE: alone when the problem
// concerns the whole file, or a file that is not there).
//
// The rules are the program's: screens are drawn by its renderer on the
// memory console, modules are opened by the library that plays them.
#pragma once

#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "content_rules.h"
#include "issue/magazine.h"
#include "issue/manifest.h"

namespace issuecheck {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

// Modules play at least this long before they loop or end.
constexpr double kMinModuleSeconds = 60.0;

struct Totals {
    int Screens = 0, Texts = 0, Modules = 0;
};

inline std::string At(const std::string& file, int line, const std::string& text) {
    return issue::Format(file, {line, text});
}

// The 1-based line of the byte at Offset.
inline int LineAt(std::string_view bytes, std::size_t offset) {
    offset = std::min(offset, bytes.size());
    return 1 + static_cast<int>(std::count(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(offset), '\n'));
}

// A rule's message without its leading "NAME: ".
inline std::string Bare(const std::string& problem) {
    const std::size_t colon = problem.find(": ");
    return colon == std::string::npos ? problem : problem.substr(colon + 2);
}

// The first line whose drawing makes the screen scroll. Whether a
// beginning of the file scrolls can only change from no to yes as it
// grows, so a halving search finds the byte.
inline int ScrollLine(const contentrules::ScreenDrawer& drawer, std::string_view bytes) {
    std::size_t lo = 1, hi = bytes.size();
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (drawer.Scrolls(bytes.substr(0, mid)))
            hi = mid;
        else
            lo = mid + 1;
    }
    return LineAt(bytes, lo - 1);
}

inline bool Dirty(int col, int row) {
    const conapi::Cell c = memcon::CellAt(col - 1, row - 1);
    const uint16_t ch = c.Char & 0xFF;
    return !((ch == ' ' || ch == 0) && (c.Attr & 0xF0) == 0);
}

// The first cell of Box that the whole drawing leaves not blank on black.
inline std::optional<std::pair<int, int>> FirstDirtyCell(const contentrules::Box& box) {
    for (int row = box.Top; row <= box.Bottom; ++row)
        for (int col = box.Left; col <= box.Right; ++col)
            if (Dirty(col, row)) return std::make_pair(col, row);
    return std::nullopt;
}

// The first line after whose drawing the cell is no longer blank.
inline int DirtyLine(const contentrules::ScreenDrawer& drawer, std::string_view bytes, int col, int row) {
    return LineAt(bytes, contentrules::FirstLineShowing(bytes, [&](std::string_view part) {
                      drawer.Draw(part);
                      return Dirty(col, row);
                  }));
}

// The line of the N-th (0-based) "!" of the file; 0 when there is none.
inline int MarkerLine(std::string_view bytes, std::size_t n) {
    for (std::size_t at = bytes.find('!'); at != std::string_view::npos; at = bytes.find('!', at + 1))
        if (n-- == 0) return LineAt(bytes, at);
    return 0;
}

inline const char* kHeaderHint =
    "the header screen carries exactly five single \"!\": after the title, author and category labels, at the "
    "text window's top-left corner (column 1) and at its bottom-right corner";

// What each layout rule asks of the editor, by a phrase of its message.
inline std::string LayoutHint(const std::string& problem) {
    if (problem.find("columns wide") != std::string::npos) return "keep rows to 80 columns";
    if (problem.find("double-spaced") != std::string::npos)
        return "drop the line end after a full 80-column row (or keep rows to 79 columns)";
    return "begin the file with a form feed (byte 12) or ESC[H (ESC[1;1H) so that it is drawn from the top-left "
           "corner";
}

// All rules of one screen (Stem in lower case, as the program asks for it).
inline Lines CheckScreen(const contentrules::ScreenDrawer& drawer, const std::string& file, const std::string& stem,
                         std::string_view bytes) {
    using namespace contentrules;
    const std::string name = Upper(stem);
    const bool twin = stem.size() > 4 && stem.substr(stem.size() - 4) == "_asc";
    const bool header = IsHeader(name);
    Lines out;
    if (bytes.empty()) return {At(file, 0, "the file is empty; draw the screen into it")};

    if (twin) {
        // A form feed may come first (it clears the screen and homes the cursor).
        const auto bad = std::find_if(bytes.begin() + (bytes[0] == '\x0c' ? 1 : 0), bytes.end(), [](char c) {
            const auto b = static_cast<unsigned char>(c);
            return !((b >= 32 && b <= 126) || b == '\r' || b == '\n' || b == 26);
        });
        for (const std::string& p : CheckTwinBytes(name, bytes))
            out.push_back(At(file, LineAt(bytes, static_cast<std::size_t>(bad - bytes.begin())),
                             Bare(p) + "; a twin is plain 7-bit text coloured with pipe codes |00..|23"));
    }
    for (const std::string& p : CheckMarkerCount(name, bytes))
        out.push_back(At(file, MarkerLine(bytes, 5), Bare(p) + "; " + kHeaderHint));
    for (const std::string& p : CheckEnding(drawer, name, bytes)) {
        const std::string_view drawn = bytes.substr(0, bytes.find('\x1a'));
        out.push_back(At(file, LineAt(bytes, drawn.rfind('\x1b')),
                         Bare(p) + "; finish the sequence (an ESC [ with its numbers and letter) or remove it"));
    }
    for (const Finding& f : CheckLayout(drawer, bytes))
        out.push_back(At(file, LineAt(bytes, f.Offset), f.What + "; " + LayoutHint(f.What)));
    const Problems fits = CheckFits(drawer, name, bytes);
    std::vector<std::pair<Box, std::string>> boxes;
    for (const Box& box : BoxesOf(name))
        for (const std::string& p : CheckBoxClear(name, box)) boxes.emplace_back(box, p);
    Problems fields;
    if (header) fields = CheckHeaderFields(name);

    for (const std::string& p : fits)
        out.push_back(At(file, ScrollLine(drawer, bytes),
                         Bare(p) + "; keep to 80x25: no line feed on row 25 and nothing in the last cell of row 25"));
    for (const auto& [box, p] : boxes) {
        drawer.Draw(bytes);
        const auto cell = FirstDirtyCell(box);
        const int line = cell ? DirtyLine(drawer, bytes, cell->first, cell->second) : 0;
        out.push_back(At(file, line, Bare(p) + "; leave that area empty and black: the program draws there"));
    }
    for (const std::string& p : fields) out.push_back(At(file, MarkerLine(bytes, 0), Bare(p) + "; " + kHeaderHint));
    return out;
}

// What each piece rule asks of the editor, by a phrase of its message.
inline std::string PieceHint(const std::string& problem) {
    if (problem.find("SAUCE record") != std::string::npos)
        return "save the record again from the drawing program, or leave it out";
    if (problem.find("rows tall") != std::string::npos)
        return "keep the piece to " + std::to_string(issue::PieceMaxRows) + " rows, or split it into pieces of their own";
    if (problem.find("escape sequence") != std::string::npos)
        return "finish the sequence (an ESC [ with its numbers and letter) or remove it";
    return "save the piece again from the drawing program";
}

// A gallery piece in any of the formats the gallery draws: each problem on
// its line for the text formats, at its byte for the binary ones.
inline Lines CheckPieceFile(const contentrules::ScreenDrawer& drawer, const std::string& file, const issue::Piece& piece,
                            std::string_view bytes) {
    if (bytes.empty()) return {At(file, 0, "the file is empty; draw the piece into it")};
    bool text = false;
    Lines out;
    for (const contentrules::Finding& f : contentrules::CheckPiece(drawer, piece.Art, bytes, piece.Width, text)) {
        const bool whole = f.Offset == 0 && f.What.rfind("SAUCE record", 0) == 0;
        if (whole || text)
            out.push_back(At(file, whole ? 0 : LineAt(bytes, f.Offset), f.What + "; " + PieceHint(f.What)));
        else
            out.push_back(At(file, 0, "byte " + std::to_string(f.Offset) + ": " + f.What + "; " + PieceHint(f.What)));
    }
    return out;
}

// What each text rule asks of the editor, by a phrase of its message.
inline std::string TextHint(const std::string& problem) {
    static const std::vector<std::pair<std::string, std::string>> hints = {
        {"lines, wanted", "keep a text to at most 250 lines"},
        {"no LF", "end the last line with a line feed"},
        {"CR", "save the file with LF line ends"},
        {"longer than 79", "wrap the line at 79 characters, colour codes counted"},
        {"above 127", "use 7-bit characters only"},
        {"control byte", "remove tabs and other control characters"},
        {"\"!\"", "write it another way: \"!\" marks header fields"},
        {"colour code", "colour codes are a bar and two digits from 00 to 23; put a space after a lone bar"},
    };
    for (const auto& [phrase, hint] : hints)
        if (problem.find(phrase) != std::string::npos) return hint;
    return "see docs/making-an-issue.md";
}

// A text for the viewer: the content rules, each message placed on its line.
inline Lines CheckTextFile(const std::string& file, std::string_view bytes) {
    Lines out;
    if (bytes.empty()) return {At(file, 0, "the file is empty; write the text into it")};
    for (const std::string& p : contentrules::CheckText("TEXT", bytes, 1)) {
        std::string what = Bare(p);
        int line = 0;
        if (what.rfind("line ", 0) == 0) {
            std::istringstream in(what.substr(5));
            in >> line;
            what = "the line " + what.substr(what.find(' ', 5) + 1);
        }
        out.push_back(At(file, line, what + "; " + TextHint(what)));
    }
    return out;
}

// Whether libopenmpt opens the module, and how long it plays.
inline std::optional<std::string> CheckModuleBytes(const std::string& bytes) {
    int error = 0;
    const char* message = nullptr;
    openmpt_module* module =
        openmpt_module_create_from_memory2(bytes.data(), bytes.size(), openmpt_log_func_silent, nullptr,
                                           openmpt_error_func_ignore, nullptr, &error, &message, nullptr);
    std::string why = message ? message : "unknown format";
    openmpt_free_string(message);
    if (!module) return "does not load (" + why + "); save it as an XM, MOD, S3M or IT module";
    if (const auto cut = contentrules::ModuleCutShort(bytes)) {
        openmpt_module_destroy(module);
        return *cut + "; its end is missing: save the whole module again from the tracker";
    }
    const double seconds = openmpt_module_get_duration_seconds(module);
    openmpt_module_destroy(module);
    if (seconds < kMinModuleSeconds)
        return "plays for " + std::to_string(static_cast<int>(seconds)) + " s, wanted at least " +
               std::to_string(static_cast<int>(kMinModuleSeconds)) + " s; make the song longer or repeat its patterns";
    return std::nullopt;
}

inline std::optional<std::string> ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>{});
    if (in.bad()) return std::nullopt;
    return bytes;
}

// The regular files of an issue folder by name, with their bytes; nullopt
// for a file that could not be read. The check works on this, so that a
// folder can be checked from memory as well as from the disk.
using FolderFiles = std::map<std::string, std::optional<std::string>>;

inline FolderFiles ReadFolder(const fs::path& dir) {
    FolderFiles files;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir, error))
        if (entry.is_regular_file(error)) files[entry.path().filename().string()] = ReadFile(entry.path());
    return files;
}

inline const std::string* Bytes(const FolderFiles& files, const std::string& name) {
    const auto found = files.find(name);
    return found == files.end() || !found->second ? nullptr : &*found->second;
}

// The header fields of both header screens bound how long the texts
// written into them may be: from the marker to the right edge.
inline Lines CheckFieldRoom(const contentrules::ScreenDrawer& drawer, const FolderFiles& folder,
                            const std::map<std::string, std::vector<std::string>>& files, const issue::Manifest& m,
                            const std::string& manifestFile) {
    Lines out;
    for (const std::string stem : {"article_hdr", "article_hdr_asc"}) {
        const auto found = files.find(stem);
        if (found == files.end() || found->second.size() != 1) continue;
        const std::string* bytes = Bytes(folder, found->second.front());
        if (!bytes) continue;
        drawer.Draw(*bytes);
        const std::vector<TCoord> fields = FindMarkerRuns('!');
        if (fields.size() < 3) continue;  // reported with the screen
        auto room = [&](std::size_t i) { return static_cast<std::size_t>(81 - fields[i].X); };
        auto check = [&](const std::vector<issue::Entry>& entries, const std::string& key) {
            for (std::size_t i = 0; i < entries.size(); ++i) {
                const issue::Entry& e = entries[i];
                const std::pair<const char*, const std::string*> texts[] = {
                    {"title", &e.Title}, {"author", &e.Author}, {"category", &e.Category}};
                for (std::size_t f = 0; f < 3; ++f)
                    if (texts[f].second->size() > room(f))
                        out.push_back(At(manifestFile, e.Line,
                                         key + " " + std::to_string(i + 1) + ": the " + texts[f].first + " is " +
                                             std::to_string(texts[f].second->size()) + " characters long, but " +
                                             found->second.front() + " leaves " + std::to_string(room(f)) +
                                             " columns after its marker; shorten it to at most " +
                                             std::to_string(room(f))));
            }
        };
        for (const auto& [list, entries] : m.Lists) check(entries, list);
    }
    return out;
}

// The manifest of the folder's files, read and checked against them.
inline issue::Manifest ReadManifestOf(const fs::path& dir, const FolderFiles& folder,
                                      std::vector<issue::Problem>& problems,
                                      issue::ManifestRole role = issue::ManifestRole::Alone) {
    const auto manifest = folder.find("issue.toml");
    if (manifest == folder.end()) {
        problems.push_back({0, "there is no manifest; write one (see docs/making-an-issue.md)"});
        return {};
    }
    if (!manifest->second) {
        problems.push_back({0, "the manifest cannot be read; check its permissions"});
        return {};
    }
    const issue::Folder has{dir.string(), [&folder](const std::string& file) { return folder.count(file) > 0; }};
    return issue::ReadManifestText(*manifest->second, (dir / "issue.toml").string(), has, problems, role);
}

// Checks the files of the issue folder Dir, as read into Folder. Problem
// lines are appended to Out.
inline Totals CheckFiles(const fs::path& dir, const FolderFiles& folder, Lines& out, issue::Manifest& manifest,
                         issue::ManifestRole role = issue::ManifestRole::Alone) {
    Totals totals;
    const std::string manifestFile = (dir / "issue.toml").string();
    std::vector<issue::Problem> manifestProblems;
    manifest = ReadManifestOf(dir, folder, manifestProblems, role);
    for (const issue::Problem& p : manifestProblems) out.push_back(issue::Format(manifestFile, p));

    // The folder's files by the resource they become.
    std::map<std::string, std::vector<std::string>> files;
    for (const auto& [name, bytes] : folder)
        if (name != "issue.toml") files[issue::ResourceOf(name)].push_back(name);
    for (auto& [stem, names] : files) {
        std::sort(names.begin(), names.end());
        if (names.size() > 1)
            out.push_back(At((dir / names[1]).string(), 0,
                             "becomes the resource " + stem + " just like " + names[0] + "; rename one of them"));
    }

    // Which resources the issue uses, and as what.
    enum class Use { Screen, Piece, Text, Module };
    std::map<std::string, Use> uses;
    for (const std::string& s : issue::FixedScreens()) uses[s] = Use::Screen;
    for (const std::string& t : issue::FixedTexts()) uses[t] = Use::Text;
    for (const auto& [list, entries] : manifest.Lists)
        for (const issue::Entry& e : entries)
            if (!e.Text.empty()) uses[issue::ResourceOf(e.Text)] = Use::Text;
    std::map<std::string, const issue::Piece*> pieces;
    for (const issue::Piece& p : manifest.Pieces)
        if (!p.Art.empty()) {
            uses[issue::ResourceOf(p.Art)] = Use::Piece;
            pieces[issue::ResourceOf(p.Art)] = &p;
        }

    for (const auto& [stem, names] : files)
        if (!uses.count(stem) &&
            std::none_of(manifest.Tracks.begin(), manifest.Tracks.end(),
                         [&stem = stem](const issue::Track& t) { return issue::ResourceOf(t.Module) == stem; }))
            for (const std::string& name : names)
                out.push_back(At((dir / name).string(), 0,
                                 "the issue never shows it, yet the build would embed it; name it in issue.toml "
                                 "or move it out of the folder"));

    const contentrules::ScreenDrawer drawer;
    for (const auto& [stem, use] : uses) {
        const auto found = files.find(stem);
        if (found == files.end()) {
            // Files the manifest names are reported against the manifest.
            const bool fixed = issue::IsFixedResource(stem);
            if (fixed)
                out.push_back(At((dir / (stem + (use == Use::Text ? ".txt" : ".ans"))).string(), 0,
                                 std::string("missing; every issue has this ") +
                                     (use == Use::Text ? "text; write it"
                                                       : "screen; draw it or make it with "
                                                         "python3 tools/make_screens.py --out FOLDER")));
            continue;
        }
        const std::string& name = found->second.front();
        const std::string* bytes = Bytes(folder, name);
        if (!bytes) {
            out.push_back(At((dir / name).string(), 0, "cannot be read; check its permissions"));
            continue;
        }
        Lines more;
        if (use == Use::Piece) {
            more = CheckPieceFile(drawer, (dir / name).string(), *pieces.at(stem), *bytes);
            ++totals.Screens;
        } else if (use == Use::Screen) {
            more = CheckScreen(drawer, (dir / name).string(), stem, *bytes);
            ++totals.Screens;
        } else {
            more = CheckTextFile((dir / name).string(), *bytes);
            ++totals.Texts;
        }
        out.insert(out.end(), more.begin(), more.end());
    }

    for (std::size_t i = 0; i < manifest.Tracks.size(); ++i) {
        const issue::Track& t = manifest.Tracks[i];
        if (t.Module.empty()) continue;
        const std::string* bytes = Bytes(folder, t.Module);
        if (!bytes) continue;  // reported with the manifest
        ++totals.Modules;
        if (const auto why = CheckModuleBytes(*bytes))
            out.push_back(At(manifestFile, t.Line, "track " + std::to_string(i + 1) + ": " + t.Module + " " + *why));
    }

    const Lines room = CheckFieldRoom(drawer, folder, files, manifest, manifestFile);
    out.insert(out.end(), room.begin(), room.end());
    return totals;
}

// Checks the issue folder Dir on the disk. Problem lines are appended to Out.
inline Totals CheckFolder(const fs::path& dir, Lines& out, issue::Manifest& manifest,
                          issue::ManifestRole role = issue::ManifestRole::Alone) {
    return CheckFiles(dir, ReadFolder(dir), out, manifest, role);
}

// Line, a problem of a file in the issue folder Dir, with the issue named
// after its file and line: "FILE:LINE: issue #2: what is wrong".
inline std::string NamingIssue(const std::string& line, const std::string& dir, int number) {
    const std::size_t at = line.find(": ", line.rfind(dir, 0) == 0 ? dir.size() : 0);
    if (at == std::string::npos) return line;
    return line.substr(0, at + 2) + "issue #" + std::to_string(number) + ": " + line.substr(at + 2);
}

// What the check of a magazine folder found: the problems of its
// magazine.toml, of its top, and of each issue, and each issue's totals.
struct MagazineCheck {
    issue::MagazineNames Names;
    struct Checked {
        std::string Folder;
        issue::Manifest Manifest;
        Totals Counts;
    };
    std::vector<Checked> Issues;
};

// Checks the magazine folder Dir (magazine.toml and a folder for each
// issue): its magazine.toml, that it holds nothing else at its top, each
// issue as an issue of the magazine, and that no two have one number.
inline MagazineCheck CheckMagazineFolder(const fs::path& dir, Lines& out) {
    MagazineCheck check;
    const std::string manifestFile = (dir / "magazine.toml").string();
    const auto text = ReadFile(dir / "magazine.toml");
    std::vector<issue::Problem> problems;
    if (!text) problems.push_back({0, "cannot be read; check its permissions"});
    else check.Names = issue::ReadMagazineText(*text, manifestFile, problems);
    for (const issue::Problem& p : problems) out.push_back(issue::Format(manifestFile, p));

    issue::MagazineFolder folder;
    std::string error;
    if (!issue::ListMagazineFolder(dir.string(), folder, error)) {
        out.push_back(At(dir.string(), 0, error));
        return check;
    }
    for (const std::string& stray : folder.Strays)
        out.push_back(At((dir / stray).string(), 0,
                         stray.back() == '/'
                             ? "holds no issue.toml, so it is no issue of the magazine; write its manifest or move "
                               "the folder out of the magazine"
                             : "a magazine folder holds its magazine.toml and a folder for each issue; move the file "
                               "into an issue's folder"));
    std::map<int, std::string> numbers;
    for (const std::string& sub : folder.IssueFolders) {
        Lines issueLines;
        MagazineCheck::Checked checked{sub, {}, {}};
        checked.Counts = CheckFolder(dir / sub, issueLines, checked.Manifest, issue::ManifestRole::InMagazine);
        const int number = checked.Manifest.Number;
        for (const std::string& line : issueLines) out.push_back(NamingIssue(line, (dir / sub).string(), number));
        if (number > 0 && !numbers.emplace(number, sub).second)
            out.push_back(At((dir / sub / "issue.toml").string(), 0,
                             "issue #" + std::to_string(number) + " is there twice: " + numbers[number] +
                                 " has that number too; give each issue a number of its own"));
        check.Issues.push_back(std::move(checked));
    }
    if (folder.IssueFolders.empty())
        out.push_back(At(manifestFile, 0, "no folder beside it holds an issue.toml: the magazine has no issue"));
    return check;
}

}  // namespace issuecheck
