// The manifest of an issue (issue.toml): the magazine's name, the issue's
// number and date, the entries of the articles and tutorials sections, the
// gallery's pieces and the tracks, each naming a file of the issue.
//
// The program reads it when it starts, the checker and the build read it
// through the same ReadManifestText, so a manifest that does not fit gets
// the same line-numbered message from each. Every limit comes from where
// the program shows the text (issue/layout.h): a label must fit the width
// of its menu, a list the rows of its menu box.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "issue/layout.h"
#include "issue/sections.h"

namespace issue {

struct Entry {  // one row of the articles or tutorials section
    std::string Label, Text, Title, Author, Category;
    int Line = 0;
};

struct Piece {  // one artwork of the gallery
    std::string Label, Art, SaveAs;
    int Width = 0;  // columns it is laid out in; 0: as its SAUCE record says, else 80
    int Line = 0;
};

struct Track {  // one module of the track menu
    std::string Label, Module;
    int Line = 0;
};

// What the first issue is called when its manifest names nothing: the
// magazine, its board, and the title pages and packages carry.
inline constexpr std::string_view FirstName = "quix";
inline constexpr std::string_view FirstContact = "the quix board - telnet quix.example.org 2323";

struct Manifest {
    int Number = 0;
    std::string Date;
    std::string Headline;               // one line on what the issue holds; may be empty
    std::string Name{FirstName};        // the magazine's name, lower case
    std::string Contact{FirstContact};  // the line under the switches; may be empty
    std::string Title;                  // "<name> magazine" unless the manifest gives one
    // The entries of each section of texts, by the section table's list
    // ("article", "tutorial"), in menu order.
    std::map<std::string, std::vector<Entry>> Lists;
    std::vector<Piece> Pieces;
    std::vector<Track> Tracks;

    // The entries of List; none when the manifest has no such list.
    const std::vector<Entry>& Entries(std::string_view list) const;
};

// The names of the magazine as a whole: what a magazine folder's
// magazine.toml holds, and a manifest alone in its folder as well.
struct MagazineNames {
    std::string Name{FirstName};
    std::string Contact{FirstContact};
    std::string Title;
};

// The names a manifest carries, and a manifest made to carry Names.
MagazineNames NamesOf(const Manifest& m);
void GiveNames(Manifest& m, const MagazineNames& names);


// Where a manifest stands: alone in its folder, where it also names the
// magazine (its name, contact line and title), or as an issue of a magazine
// folder, whose magazine.toml names the magazine.
enum class ManifestRole { Alone, InMagazine };

// One problem in the manifest: its line (0 when it concerns the whole
// file) and what is wrong, with how to fix it.
struct Problem {
    int Line;
    std::string Text;
};

// Reads magazine.toml's Text (read from Source, named in TOML's messages):
// the magazine's name, contact line and title, with the rules a manifest
// alone has for them. Problems are appended.
MagazineNames ReadMagazineText(std::string_view text, const std::string& source, std::vector<Problem>& problems);

// The folder the manifest's files are looked for in: its name, for the
// messages, and whether it holds a regular file of a given plain name. A
// folder without the check (Has empty) skips that test.
struct Folder {
    std::string Name;
    std::function<bool(const std::string&)> Has;
};

Folder FolderOnDisk(const std::filesystem::path& folder);

// The name a file of the issue is carried under: its name without the
// extension, in lower case (the program asks for files in lower case and
// writes working files under that stem).
std::string ResourceOf(const std::string& file);

// The files every issue has besides the ones its manifest names: the
// screens (with their plain-ASCII twins where the program asks for one)
// and the about and editorial texts.
const std::vector<std::string>& FixedScreens();
const std::vector<std::string>& FixedTexts();
// A fixed screen or text, or a name the program keeps for itself (the
// sound library, and "issue" for the manifest).
bool IsFixedResource(const std::string& name);

// Reads the manifest Text (read from Source, named in TOML's messages) and
// checks it; the files it names must be in Folder. Problems are appended.
Manifest ReadManifestText(std::string_view text, const std::string& source, const Folder& folder,
                          std::vector<Problem>& problems, ManifestRole role = ManifestRole::Alone);

// Reads the manifest at Path and checks it; the files it names must be in
// Folder (pass an empty Folder to skip that). Problems are appended.
Manifest ReadManifest(const std::filesystem::path& path, const std::filesystem::path& folder,
                      std::vector<Problem>& problems, ManifestRole role = ManifestRole::Alone);

// Words spelt as the magazine spells its labels: a space between letters,
// WordGap spaces between words ("harbour news", 2: "h a r b o u r  n e w s").
std::string Spaced(std::string_view words, int wordGap);

// Text with its control characters written out (\n, \r, \t, \xNN), so
// that a problem stays on its one line whatever it quotes.
std::string OneLine(const std::string& text);

// "FILE:LINE: text" (or "FILE: text" for the whole file), on one line.
std::string Format(const std::string& file, const Problem& p);

}  // namespace issue
