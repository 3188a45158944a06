#include "issue/magazine.h"

#include <algorithm>

#include "sys/sys.h"

namespace issue {

namespace {

// A manifest is a few kilobytes; anything much larger is no manifest, and is
// not read whole into memory.
constexpr std::size_t kLargestManifest = 256 * 1024;

std::string Inside(const std::string& folder, const std::string& name) { return sys::WithSeparator(folder) + name; }

std::string Trimmed(std::string path) {
    while (path.size() > 1 && (path.back() == '/' || path.back() == '\\')) path.pop_back();
    return path;
}

// The first of Problems as one line of Source, and how many follow.
std::string FirstProblem(const std::string& source, const std::vector<Problem>& problems) {
    std::string line = Format(source, problems.front());
    if (problems.size() > 1)
        line += " (and " + std::to_string(problems.size() - 1) + " more problem(s); the checker lists them all)";
    return line;
}

bool ReadSmallFile(const std::string& path, std::string& text, std::string& error) {
    if (!sys::ReadFileTail(path, kLargestManifest + 1, text, error)) {
        error = path + ": " + error;
        return false;
    }
    if (text.size() > kLargestManifest) {
        error = path + ": larger than " + std::to_string(kLargestManifest / 1024) + " KB: no manifest";
        return false;
    }
    return true;
}

// What the shelf lists of a manifest: its number, date and headline. The
// manifest is read in full, with every rule but the files it names (they are
// checked when the issue is opened).
bool SummaryOf(const std::string& text, const std::string& source, ManifestRole role, const std::string& folder,
               IssueSummary& summary, MagazineNames* names, std::string& error) {
    std::vector<Problem> problems;
    const Manifest m = ReadManifestText(text, source, {}, problems, role);
    if (!problems.empty()) {
        error = FirstProblem(source, problems);
        return false;
    }
    summary = {m.Number, m.Date, m.Headline, folder};
    if (names) *names = NamesOf(m);
    return true;
}

bool NamesFrom(const std::string& text, const std::string& source, MagazineNames& names, std::string& error) {
    std::vector<Problem> problems;
    names = ReadMagazineText(text, source, problems);
    if (problems.empty()) return true;
    error = FirstProblem(source, problems);
    return false;
}

// The folder of a pack's entry, "" for one at the top.
std::string FolderOfEntry(const std::string& name) {
    const std::size_t slash = name.find('/');
    return slash == std::string::npos ? std::string() : name.substr(0, slash);
}

}  // namespace

std::string IssuePackName(int number) { return std::string(IssuePacksFolder) + std::to_string(number) + ".zip"; }

Magazine::Magazine() = default;
Magazine::~Magazine() = default;
Magazine::Magazine(Magazine&&) noexcept = default;
Magazine& Magazine::operator=(Magazine&&) noexcept = default;

const IssueSummary* Magazine::Find(int number) const {
    for (const IssueSummary& s : Issues)
        if (s.Number == number) return &s;
    return nullptr;
}

int Magazine::Newest() const { return Issues.empty() ? 0 : Issues.back().Number; }

bool Magazine::AddIssue(IssueSummary summary, const std::string& where, std::string& error) {
    if (const IssueSummary* other = Find(summary.Number)) {
        error = where + ": issue #" + std::to_string(summary.Number) + " is there twice (in " + other->Folder +
                " and in " + summary.Folder + "); give each issue a number of its own";
        return false;
    }
    if (Issues.size() >= MaxIssues) {
        error = where + ": more than " + std::to_string(MaxIssues) + " issues; a magazine holds fewer";
        return false;
    }
    const auto at = std::lower_bound(Issues.begin(), Issues.end(), summary.Number,
                                     [](const IssueSummary& s, int number) { return s.Number < number; });
    Issues.insert(at, std::move(summary));
    return true;
}

bool Magazine::TakeBuiltIn(std::string& error) {
    *this = Magazine();
    Issue builtIn;
    if (!builtIn.TakeBuiltIn(error)) return false;
    source_ = Source::BuiltIn;
    Origin = "built in";
    Names = NamesOf(builtIn.Contents);
    const Manifest& m = builtIn.Contents;
    Issues.push_back({m.Number, m.Date, m.Headline, ""});
    return true;
}

bool Magazine::Load(const std::string& path, std::string& error) {
    *this = Magazine();
    path_ = Trimmed(path);
    Origin = path_;
    if (sys::IsFolder(path_)) return LoadFolder(path_, error);
    pack_ = std::make_unique<PackReader>();
    if (!pack_->OpenFile(path_, error)) {
        error = path_ + ": " + error;
        return false;
    }
    return LoadPack(error);
}

bool Magazine::LoadCarried(const std::string& path, bool& found, std::string& error) {
    *this = Magazine();
    found = false;
    // Most starts carry no pack: the end of the file tells, without reading
    // the whole program.
    std::string tail;
    if (!sys::ReadFileTail(path, PackEndSearch, tail, error) || !EndsWithPack(tail)) {
        error.clear();
        return true;
    }
    found = true;
    path_ = path;
    Origin = path;
    pack_ = std::make_unique<PackReader>();
    if (!pack_->OpenFile(path, error)) return false;
    return LoadPack(error);
}

bool Magazine::LoadFolder(const std::string& path, std::string& error) {
    source_ = Source::Folder;
    std::string text;
    if (!sys::IsFile(Inside(path, std::string(MagazineManifestName)))) {
        // A folder with only issue.toml: a magazine of one issue, named by it.
        if (!sys::IsFile(Inside(path, "issue.toml"))) {
            error = path + ": holds neither magazine.toml nor issue.toml: it is no magazine and no issue";
            return false;
        }
        IssueSummary summary;
        if (!ReadSmallFile(Inside(path, "issue.toml"), text, error) ||
            !SummaryOf(text, Inside(path, "issue.toml"), ManifestRole::Alone, "", summary, &Names, error))
            return false;
        single_ = true;
        Issues.push_back(std::move(summary));
        return true;
    }
    single_ = false;
    const std::string manifest = Inside(path, std::string(MagazineManifestName));
    if (!ReadSmallFile(manifest, text, error) || !NamesFrom(text, manifest, Names, error)) return false;
    MagazineFolder folder;
    if (!ListMagazineFolder(path, folder, error)) return false;
    for (const std::string& sub : folder.IssueFolders) {
        const std::string source = Inside(Inside(path, sub), "issue.toml");
        IssueSummary summary;
        if (!ReadSmallFile(source, text, error) ||
            !SummaryOf(text, source, ManifestRole::InMagazine, sub, summary, nullptr, error) ||
            !AddIssue(std::move(summary), path, error))
            return false;
    }
    if (Issues.empty()) {
        error = path + ": magazine.toml names a magazine, but no folder beside it holds an issue.toml";
        return false;
    }
    return true;
}

bool Magazine::LoadPack(std::string& error) {
    source_ = Source::Pack;
    const std::vector<std::string>& names = pack_->Names();
    auto has = [&names](const std::string& name) { return std::find(names.begin(), names.end(), name) != names.end(); };
    auto unpackOne = [this, &error](const std::string& name, std::string& text) {
        PackFiles one;
        if (!pack_->Unpack({name}, one, error)) {
            error = Origin + ": " + error;
            return false;
        }
        text = std::move(one.front().Bytes);
        return true;
    };
    std::string text;
    if (!has(std::string(MagazineManifestName))) {
        if (!has("issue.toml")) {
            error = Origin + ": the pack holds no issue.toml, the issue's manifest";
            return false;
        }
        IssueSummary summary;
        if (!unpackOne("issue.toml", text) ||
            !SummaryOf(text, Origin + "/issue.toml", ManifestRole::Alone, "", summary, &Names, error))
            return false;
        single_ = true;
        Issues.push_back(std::move(summary));
        return true;
    }
    single_ = false;
    if (!unpackOne(std::string(MagazineManifestName), text) ||
        !NamesFrom(text, Origin + "/" + std::string(MagazineManifestName), Names, error))
        return false;
    for (const std::string& name : names) {
        const std::string folder = FolderOfEntry(name);
        if (folder.empty() || name != folder + "/issue.toml") continue;
        IssueSummary summary;
        if (!unpackOne(name, text) ||
            !SummaryOf(text, Origin + "/" + name, ManifestRole::InMagazine, folder, summary, nullptr, error) ||
            !AddIssue(std::move(summary), Origin, error))
            return false;
    }
    if (Issues.empty()) {
        error = Origin + ": the pack holds magazine.toml but no issue";
        return false;
    }
    return true;
}

bool Magazine::Open(int number, Issue& issue, std::string& error) const {
    const IssueSummary* summary = Find(number);
    if (!summary) {
        error = Origin + ": the magazine has no issue #" + std::to_string(number);
        return false;
    }
    if (!OpenSource(*summary, issue, error)) return false;
    issue.WorkPrefix = Issues.size() > 1 ? "issue" + std::to_string(number) + "-" : "";
    return true;
}

bool Magazine::OpenSource(const IssueSummary& found, Issue& issue, std::string& error) const {
    const IssueSummary* summary = &found;
    switch (source_) {
    case Source::BuiltIn: return issue.TakeBuiltIn(error);
    case Source::Folder: {
        if (single_) return LoadIssue(path_, issue, error);
        const std::string folder = Inside(path_, summary->Folder);
        PackFiles files;
        return ReadIssueFolder(folder, files, error) && issue.Take(std::move(files), folder, error, &Names);
    }
    case Source::Pack: {
        if (!single_ && EntriesOf(*summary).size() == 1) return OpenBeside(*summary, issue, error);
        PackFiles files;
        if (!pack_->Unpack(EntriesOf(*summary), files, error)) {
            error = Origin + ": " + error;
            return false;
        }
        if (single_) return issue.Take(std::move(files), Origin, error);
        return issue.Take(std::move(files), Origin + "/" + summary->Folder, error, &Names);
    }
    }
    return false;
}

std::vector<std::string> Magazine::EntriesOf(const IssueSummary& summary) const {
    std::vector<std::string> entries;
    if (source_ != Source::Pack) return entries;
    for (const std::string& name : pack_->Names())
        if (FolderOfEntry(name) == summary.Folder && (single_ || name.find('/') != std::string::npos))
            entries.push_back(name);
    return entries;
}

bool Magazine::PackBeside(int number, std::string& name, std::string& path) const {
    const IssueSummary* summary = Find(number);
    // A shelf holds an issue's manifest and nothing else of it.
    if (!summary || single_ || EntriesOf(*summary).size() != 1) return false;
    name = IssuePackName(number);
    path = sys::FolderOf(path_) + name;
    return true;
}

// The issue's own pack beside the shelf: its files at its top, its manifest
// the one the shelf listed, or the shelf and the pack are of two editions.
bool Magazine::OpenBeside(const IssueSummary& summary, Issue& issue, std::string& error) const {
    std::string name;
    std::string path;
    PackBeside(summary.Number, name, path);
    PackReader pack;
    if (!pack.OpenFile(path, error)) {
        error = path + ": " + error;
        return false;
    }
    PackFiles files;
    if (!pack.Unpack(pack.Names(), files, error)) {
        error = path + ": " + error;
        return false;
    }
    if (!issue.Take(std::move(files), path, error, &Names)) return false;
    if (issue.Contents.Number == summary.Number) return true;
    error = path + ": holds issue #" + std::to_string(issue.Contents.Number) + ", where " + Origin +
            " lists issue #" + std::to_string(summary.Number) + " of its own";
    return false;
}

bool ListMagazineFolder(const std::string& path, MagazineFolder& folder, std::string& error) {
    folder = MagazineFolder{};
    folder.HasMagazineManifest = sys::IsFile(Inside(path, std::string(MagazineManifestName)));
    std::vector<std::string> subs;
    std::vector<sys::FolderFile> files;
    if (!sys::ListFolders(path, subs, error) || !sys::ListFiles(path, files, error)) {
        error = path + ": cannot read the folder: " + error;
        return false;
    }
    for (const std::string& sub : subs) {
        if (sub.front() == '.') continue;  // an editor's or a system's own folder
        if (sys::IsFile(Inside(Inside(path, sub), "issue.toml")))
            folder.IssueFolders.push_back(sub);
        else
            folder.Strays.push_back(sub + "/");
    }
    for (const sys::FolderFile& file : files)
        if (file.Name.front() != '.' && file.Name != MagazineManifestName) folder.Strays.push_back(file.Name);
    return true;
}

}  // namespace issue
