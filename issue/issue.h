// An issue of the magazine: its manifest and its files, wherever they came
// from (the pack at the end of the executable, the issue built into it, an
// editor's folder or pack file). An issue is read whole and checked when it
// is opened, so that a missing screen is reported at once and not when a
// reader reaches it; the run holds the one open issue.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "issue/manifest.h"
#include "issue/pack.h"

namespace issue {

// Move-only: the files are views into bytes the object owns.
class Issue {
public:
    Issue() = default;
    Issue(Issue&&) = default;
    Issue& operator=(Issue&&) = default;
    Issue(const Issue&) = delete;
    Issue& operator=(const Issue&) = delete;

    Manifest Contents;   // what the manifest says
    std::string Origin;  // where it came from, for messages: "built in", a path
    // What the names of the working files written for this issue begin
    // with: empty for a magazine of one issue, "issue2-" for issue #2 of a
    // magazine of more, so that a file of one name in two issues never
    // shows the other's content.
    std::string WorkPrefix;

    // The bytes of the file carried under Name (its stem, any case); empty
    // with Found false when the issue has no such file.
    std::string_view File(std::string_view name, bool& found) const;
    bool Has(std::string_view name) const;

    // Takes Files (plain names with their extension) as the issue's: the
    // manifest is read from issue.toml among them and every file the
    // program asks for must be there. An issue of a magazine (Names given)
    // carries the magazine's names, and its manifest may not give its own.
    // Answers false with one line in Error.
    bool Take(PackFiles files, std::string origin, std::string& error, const MagazineNames* names = nullptr);

    // The issue built into the executable: its manifest and files are the
    // executable's resources, looked at where they lie.
    bool TakeBuiltIn(std::string& error);

private:
    std::vector<std::string> owned_;              // the bytes of a pack or a folder
    std::map<std::string, std::string_view> files_;  // by lower-case stem
};

// The files of the issue folder Path (plain files only, under the limits
// of a pack), or of the pack file Path. Answers false with one line.
bool ReadIssueFolder(const std::string& path, PackFiles& files, std::string& error);
bool ReadPackFile(const std::string& path, PackFiles& files, std::string& error);

// Loads the issue at Path, a folder or a pack.
bool LoadIssue(const std::string& path, Issue& issue, std::string& error);

// Writes the file Name of Issue to FileName, a file of the working folder.
// Answers false with the reason in Error.
bool TryWriteIssueFile(const Issue& issue, const std::string& name, const std::string& fileName, std::string& error);

}  // namespace issue
