// A magazine: its names and its issues, every one of them listed (number,
// date, headline) and only the one asked for read whole. A magazine is a
// folder (magazine.toml and a sub-folder per issue, or an issue.toml alone:
// a magazine of one issue), a pack (the same as a zip, appended to the
// program or in a file of its own), or the issue built into the program.
//
// Everything it reads is untrusted: names, numbers and sizes are checked,
// two issues of one number are refused, and each issue is checked when it is
// opened as an issue alone would be.
#pragma once

#include <memory>
#include <string_view>
#include <string>
#include <vector>

#include "issue/issue.h"
#include "issue/manifest.h"

namespace issue {

// An issue as the shelf lists it.
struct IssueSummary {
    int Number = 0;
    std::string Date;
    std::string Headline;
    // Its folder in a magazine folder or pack; empty for a magazine of one
    // issue, whose files stand at the top.
    std::string Folder;
};

// The magazine.toml of a magazine folder or pack.
inline constexpr std::string_view MagazineManifestName = "magazine.toml";

// A magazine holds at most this many issues.
inline constexpr std::size_t MaxIssues = 999;

// A shelf is a magazine's pack that holds magazine.toml and each issue's
// issue.toml alone, as a web edition's magazine.zip does: each issue's own
// pack lies beside it, in the folder "issues" under its number (IssuePackName).
// The page fetches only the packs of the issues read.
inline constexpr std::string_view IssuePacksFolder = "issues/";
// "issues/2.zip": where issue Number's pack lies beside its shelf.
std::string IssuePackName(int number);

class Magazine {
public:
    Magazine();
    ~Magazine();
    Magazine(Magazine&&) noexcept;
    Magazine& operator=(Magazine&&) noexcept;
    Magazine(const Magazine&) = delete;
    Magazine& operator=(const Magazine&) = delete;

    MagazineNames Names;
    std::vector<IssueSummary> Issues;  // in the order of their numbers
    std::string Origin;                // where it came from, for messages

    // The issue of Number, or null.
    const IssueSummary* Find(int number) const;
    // The highest number: the issue a reader is shown first.
    int Newest() const;

    // Reads issue Number whole into Issue, checked as an issue alone (every
    // file the program asks for there). Answers false with one line.
    bool Open(int number, Issue& issue, std::string& error) const;

    // Whether issue Number's files lie in a pack of its own beside a shelf,
    // not in the magazine itself; then Name is that pack's name beside the
    // shelf (IssuePackName) and Path the file Open reads it from. A program
    // that fetches its files (a page) fetches it to Path before Open.
    bool PackBeside(int number, std::string& name, std::string& path) const;

    // The magazine of the issue built into the program.
    bool TakeBuiltIn(std::string& error);
    // The magazine of the folder Path (magazine.toml and its issues'
    // folders, or an issue.toml alone), or of the pack file Path.
    bool Load(const std::string& path, std::string& error);
    // The magazine of the pack at the end of the file Path (a program that
    // carries its magazine); Found false, and no error, when it carries none.
    bool LoadCarried(const std::string& path, bool& found, std::string& error);

private:
    enum class Source { BuiltIn, Folder, Pack };
    bool LoadFolder(const std::string& path, std::string& error);
    bool LoadPack(std::string& error);
    bool AddIssue(IssueSummary summary, const std::string& where, std::string& error);
    bool OpenSource(const IssueSummary& summary, Issue& issue, std::string& error) const;
    bool OpenBeside(const IssueSummary& summary, Issue& issue, std::string& error) const;
    // The entries of the pack that are Summary's issue's files.
    std::vector<std::string> EntriesOf(const IssueSummary& summary) const;

    Source source_ = Source::BuiltIn;
    std::string path_;                     // the folder, or the pack's file
    bool single_ = true;                   // one issue, its files at the top
    std::unique_ptr<PackReader> pack_;     // the pack, open while the magazine is
};

// The files of the folder Path in a magazine folder's layout: the sub-folders
// that hold an issue.toml (hidden ones aside), and the other entries of the
// top that a magazine folder should not hold. For the checker.
struct MagazineFolder {
    bool HasMagazineManifest = false;
    std::vector<std::string> IssueFolders;
    std::vector<std::string> Strays;  // files beside magazine.toml, folders with no issue.toml
};
bool ListMagazineFolder(const std::string& path, MagazineFolder& folder, std::string& error);

}  // namespace issue
