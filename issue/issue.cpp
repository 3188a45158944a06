#include "issue/issue.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "sys/resources.h"
#include "sys/sys.h"
#include "sys/workfiles.h"

namespace issue {

namespace {

std::string Lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::tolower(c); });
    return out;
}

// Every file the program asks for: the fixed screens and texts, and what
// the manifest names.
std::vector<std::string> NamesAskedFor(const Manifest& m) {
    std::vector<std::string> names = FixedScreens();
    names.insert(names.end(), FixedTexts().begin(), FixedTexts().end());
    for (const auto& [list, entries] : m.Lists)
        for (const Entry& e : entries) names.push_back(ResourceOf(e.Text));
    for (const Piece& p : m.Pieces) names.push_back(ResourceOf(p.Art));
    for (const Track& t : m.Tracks) names.push_back(ResourceOf(t.Module));
    return names;
}

// The manifest's problems as one line: the first, and how many follow.
std::string ManifestError(const std::string& file, const std::vector<Problem>& problems) {
    std::string line = Format(file, problems.front());
    if (problems.size() > 1)
        line += " (and " + std::to_string(problems.size() - 1) + " more problem(s); the checker lists them all)";
    return line;
}

}  // namespace

std::string_view Issue::File(std::string_view name, bool& found) const {
    const auto it = files_.find(Lower(name));
    found = it != files_.end();
    return found ? it->second : std::string_view();
}

bool Issue::Has(std::string_view name) const {
    bool found = false;
    File(name, found);
    return found;
}

bool Issue::Take(PackFiles files, std::string origin, std::string& error, const MagazineNames* magazine) {
    Origin = std::move(origin);
    files_.clear();
    owned_.clear();
    std::set<std::string> names;
    std::set<std::string> stems;
    // The bytes are kept in owned_, which is not resized once the views
    // into it are taken (a short string's bytes live inside the string).
    owned_.reserve(files.size());
    const std::string* manifest = nullptr;
    for (PackFile& file : files) {
        owned_.push_back(std::move(file.Bytes));
        if (Lower(file.Name) == "issue.toml") {
            manifest = &owned_.back();
            continue;
        }
        if (!stems.insert(ResourceOf(file.Name)).second) {
            error = Origin + ": two files are called " + ResourceOf(file.Name) + " (" + file.Name +
                    " and another); a name without its extension may be used once";
            return false;
        }
        names.insert(file.Name);
        files_[ResourceOf(file.Name)] = owned_.back();
    }
    if (!manifest) {
        error = Origin + ": there is no issue.toml, the issue's manifest";
        return false;
    }
    std::vector<Problem> problems;
    const Folder folder{Origin, [&names](const std::string& file) { return names.count(file) > 0; }};
    const std::string manifestFile = Origin + "/issue.toml";
    Contents = ReadManifestText(*manifest, manifestFile, folder, problems,
                                magazine ? ManifestRole::InMagazine : ManifestRole::Alone);
    if (!problems.empty()) {
        error = ManifestError(manifestFile, problems);
        return false;
    }
    if (magazine) GiveNames(Contents, *magazine);
    for (const std::string& name : NamesAskedFor(Contents))
        if (!files_.count(name)) {
            error = Origin + ": the issue has no " + name + " (such as " + name +
                    (name == "abouttxt" || name == "editorial" ? ".txt" : ".ans") + "), which every issue needs";
            return false;
        }
    return true;
}

bool Issue::TakeBuiltIn(std::string& error) {
    Origin = "built in";
    files_.clear();
    owned_.clear();
    const ResourceData* manifest = FindResource("issue");
    if (!manifest) {
        error = "the executable carries no issue";
        return false;
    }
    std::vector<Problem> problems;
    Contents = ReadManifestText(manifest->Bytes(), "issue.toml", {}, problems);
    if (!problems.empty()) {
        error = ManifestError("the built-in issue.toml", problems);
        return false;
    }
    for (const std::string& name : NamesAskedFor(Contents)) {
        const ResourceData* resource = FindResource(name);
        if (!resource) {
            error = "the built-in issue has no " + name;
            return false;
        }
        files_[name] = resource->Bytes();
    }
    return true;
}

bool ReadIssueFolder(const std::string& path, PackFiles& files, std::string& error) {
    files.clear();
    std::vector<sys::FolderFile> listed;
    if (!sys::ListFiles(path, listed, error)) {
        error = path + ": cannot read the folder: " + error;
        return false;
    }
    std::size_t total = 0;
    for (const sys::FolderFile& file : listed) {
        if (file.Name.front() == '.') continue;  // an editor's or a system's own file
        if (files.size() == MaxPackEntries) {
            error = path + ": more than " + std::to_string(MaxPackEntries) + " files; an issue has fewer";
            return false;
        }
        if (file.Size > MaxEntryBytes || total + file.Size > MaxPackBytes) {
            error = path + "/" + file.Name + ": " +
                    (file.Size > MaxEntryBytes ? "larger than 16 MB, the most one file of an issue may hold"
                                               : "the issue's files hold more than 64 MB in all");
            return false;
        }
        PackFile read{file.Name, {}};
        if (!sys::ReadWholeFile(sys::WithSeparator(path) + file.Name, read.Bytes, error)) {
            error = path + "/" + file.Name + ": " + error;
            return false;
        }
        total += read.Bytes.size();
        files.push_back(std::move(read));
    }
    return true;
}

bool ReadPackFile(const std::string& path, PackFiles& files, std::string& error) {
    std::string bytes;
    if (!sys::ReadWholeFile(path, bytes, error)) {
        error = path + ": " + error;
        return false;
    }
    if (ReadPack(bytes, files, error)) return true;
    error = path + ": " + error;
    return false;
}

bool LoadIssue(const std::string& path, Issue& issue, std::string& error) {
    PackFiles files;
    const bool folder = sys::IsFolder(path);
    if (!(folder ? ReadIssueFolder(path, files, error) : ReadPackFile(path, files, error))) return false;
    std::string origin = path;
    while (folder && origin.size() > 1 && (origin.back() == '/' || origin.back() == '\\')) origin.pop_back();
    return issue.Take(std::move(files), origin, error);
}

bool TryWriteIssueFile(const Issue& issue, const std::string& name, const std::string& fileName, std::string& error) {
    bool found = false;
    const std::string_view bytes = issue.File(name, found);
    if (!found) {
        error = "the issue has no " + Lower(name);
        return false;
    }
    if (WriteWorkFile(fileName, bytes.data(), bytes.size(), error)) return true;
    error = "cannot write " + fileName + ": " + error;
    return false;
}

}  // namespace issue
