#include "issue/editions.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <filesystem>
#include <string_view>
#include <utility>

#include "issue/magazine.h"
#include "issue/site_tracks.h"
#include "sys/sys.h"
#include "sys/workfiles.h"

namespace issue {

namespace {

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The site's files, as the web runner's folder holds them.
bool ReadSite(const std::string& folder, PackFiles& site, std::string& error) {
    std::vector<sys::FolderFile> listed;
    if (!sys::ListFiles(folder, listed, error) || listed.empty()) {
        error = "the web runner " + folder + " cannot be read" + (error.empty() ? "" : ": " + error) +
                "; install the magazine's package, or name the runners' folder in QUIXMAG_RUNNERS";
        return false;
    }
    for (const sys::FolderFile& file : listed) {
        if (file.Name == "issue.zip") continue;  // a site made earlier: its issue is replaced
        PackFile read{file.Name, {}};
        if (!sys::ReadWholeFile(sys::WithSeparator(folder) + file.Name, read.Bytes, error)) {
            error = folder + "/" + file.Name + ": " + error;
            return false;
        }
        site.push_back(std::move(read));
    }
    const bool hasPage =
        std::any_of(site.begin(), site.end(), [](const PackFile& f) { return f.Name == "index.html"; });
    if (!hasPage) {
        error = "the web runner " + folder + " has no index.html";
        return false;
    }
    return true;
}

// An issue's files for the site: each track's module beside the page (in
// the folder of the issue's number, for a magazine of more issues), a note
// in its place in the pack; a module whose name a URL would not carry
// plainly stays in the pack.
PackFiles TracksBeside(const EditionIssue& issue, int folderNumber, PackFiles& site) {
    const Manifest& manifest = issue.Contents;
    PackFiles packed;
    for (const PackFile& file : issue.Files) {
        const bool track = std::any_of(manifest.Tracks.begin(), manifest.Tracks.end(), [&file](const Track& t) {
            return ResourceOf(t.Module) == ResourceOf(file.Name);
        });
        const std::string note = TrackNote(file.Name, folderNumber);
        const std::string beside = track ? TrackNotePath(note) : std::string();
        if (beside.empty()) {
            packed.push_back(file);
            continue;
        }
        site.push_back({beside, TrackPlanes(file.Bytes)});
        packed.push_back({file.Name, note});
    }
    return packed;
}

// Whether a file of a magazine's site is one the page fetches only when its
// issue is read (an issue's pack, its tracks): the rest is the page itself.
bool FetchedWhenRead(const std::string& name) {
    return name.rfind(IssuePacksFolder, 0) == 0 ||
           (name.rfind(SiteTracksFolder, 0) == 0 && name.find('/', SiteTracksFolder.size()) != std::string::npos);
}

// The web edition's files: the site with the magazine's title and its
// packs. An issue alone travels as issue.zip, which the page names. A
// magazine of more issues travels as magazine.zip (magazine.toml and each
// issue's manifest, in a folder of its number) with a pack of each issue's
// files beside it (issues/N.zip), which the page fetches when the issue is
// opened; the page names the shelf and the newest issue's pack, which it
// fetches at once.
bool SiteFiles(const EditionContent& content, const Runners& runners, PackFiles& site, std::string& error) {
    if (!ReadSite(runners.Web, site, error)) return false;
    const bool alone = content.Issues.size() == 1 && content.MagazineManifest.empty();
    const int newest = content.Issues.back().Contents.Number;
    for (PackFile& file : site)
        if (file.Name == "index.html") {
            file.Bytes = WithTitle(std::move(file.Bytes), content.Names.Title);
            file.Bytes = alone ? WithPackNamed(std::move(file.Bytes), "issue.zip")
                               : WithFirstIssue(WithPackNamed(std::move(file.Bytes), "magazine.zip"),
                                                IssuePackName(newest));
        }
    if (alone) {
        PackFile pack{"issue.zip", {}};
        if (!WritePack({}, TracksBeside(content.Issues.front(), 0, site), pack.Bytes, error)) return false;
        site.push_back(std::move(pack));
    } else {
        PackFiles shelf{{std::string(MagazineManifestName), content.MagazineManifest}};
        for (const EditionIssue& issue : content.Issues) {
            const int number = issue.Contents.Number;
            const auto manifest = std::find_if(issue.Files.begin(), issue.Files.end(),
                                               [](const PackFile& f) { return f.Name == "issue.toml"; });
            if (manifest != issue.Files.end())
                shelf.push_back({std::to_string(number) + "/issue.toml", manifest->Bytes});
            PackFile pack{IssuePackName(number), {}};
            if (!WritePack({}, TracksBeside(issue, number, site), pack.Bytes, error)) return false;
            site.push_back(std::move(pack));
        }
        PackFile pack{"magazine.zip", {}};
        if (!WritePack({}, shelf, pack.Bytes, error)) return false;
        site.push_back(std::move(pack));
    }
    // Last, with every file in: the installed magazine's names, then the
    // service worker's list and version, made of all the other files.
    for (PackFile& file : site)
        if (file.Name == "app.webmanifest")
            file.Bytes = WithAppNames(std::move(file.Bytes), content.Names.Title, content.Names.Name);
    for (std::size_t i = 0; i < site.size(); ++i)
        if (site[i].Name == "sw.js") site[i].Bytes = WithSiteFiles(site[i].Bytes, site, FetchedWhenRead);
    return true;
}

bool WriteExecutable(const std::string& runnerPath, const std::string& what, const PackFiles& files,
                     const std::string& out, std::string& error) {
    std::string runner;
    if (runnerPath.empty() || !sys::ReadWholeFile(runnerPath, runner, error)) {
        error = "the " + what + " runner " + (runnerPath.empty() ? std::string("is not installed") : runnerPath) +
                (error.empty() ? "" : ": " + error) +
                "; install the magazine's package, or name the runners' folder in QUIXMAG_RUNNERS";
        return false;
    }
    if (EndsWithPack(runner)) {
        error = "the " + what + " runner " + runnerPath + " already carries an issue; pack with the installed magazine";
        return false;
    }
    std::string bytes;
    if (!WritePack(runner, files, bytes, error)) return false;
    if (!WriteFileReplacing(out, bytes, error)) {
        error = out + ": " + error;
        return false;
    }
    return sys::MakeExecutable(out, error) || (error = out + ": " + error, false);
}

bool WriteSiteFolder(const PackFiles& site, const std::string& out, std::string& error) {
    std::error_code code;
    if (std::filesystem::exists(out, code) && !sys::IsFolder(out)) {
        error = out + ": exists and is no folder; name a folder for the web edition";
        return false;
    }
    // The site's folder is the reader's to serve: made with the usual rights.
    const bool made = std::filesystem::create_directories(out, code);
    if (code) {
        error = out + ": " + code.message();
        return false;
    }
    for (const PackFile& file : site) {
        // The site's own folders (its tracks) are made as the files need them.
        const std::filesystem::path within = std::filesystem::path(file.Name).parent_path();
        if (!within.empty()) std::filesystem::create_directories(std::filesystem::path(out) / within, code);
        if (!WriteFileReplacing(sys::WithSeparator(out) + file.Name, file.Bytes, error)) {
            error = out + "/" + file.Name + ": " + error;
            if (made) sys::RemoveFolderTree(out);
            return false;
        }
    }
    return true;
}

}  // namespace

Runners FindRunners(const std::string& ownExecutable) {
    // Installed, the runners are in ../lib/quixmag beside bin/; in a build
    // folder, in its runners/.
    const char* named = std::getenv("QUIXMAG_RUNNERS");
    const std::string own = sys::FolderOf(ownExecutable);
    const std::string installed = own + ".." + sys::PathSeparator + "lib" + sys::PathSeparator + "quixmag";
    const std::string folder = sys::WithSeparator(named && *named            ? std::string(named)
                                                  : sys::IsFolder(installed) ? installed
                                                                             : own + "runners");
    // The running program is the runner of its own edition.
    const bool onWindows = sys::PathSeparator == '\\';
    Runners runners;
    runners.Linux = sys::IsFile(folder + "quixmag") || onWindows ? folder + "quixmag" : ownExecutable;
    runners.Windows = sys::IsFile(folder + "quixmag.exe") || !onWindows ? folder + "quixmag.exe" : ownExecutable;
    runners.Web = folder + "web";
    return runners;
}

const char* EditionName(Edition kind) {
    switch (kind) {
    case Edition::Linux: return "Linux";
    case Edition::Windows: return "Windows";
    case Edition::WebFolder: return "web (a folder)";
    case Edition::WebZip: return "web (a zip)";
    }
    return "";
}

std::vector<EditionOut> EditionsFor(const std::string& out, const std::vector<std::string>& flags) {
    std::vector<EditionOut> editions;
    std::string base = out;
    while (base.size() > 1 && (base.back() == '/' || base.back() == '\\')) base.pop_back();
    for (const std::string& flag : flags) {
        if (flag == "--linux") editions.push_back({Edition::Linux, base});
        if (flag == "--windows") editions.push_back({Edition::Windows, EndsWith(base, ".exe") ? base : base + ".exe"});
        if (flag == "--web") editions.push_back({Edition::WebFolder, base + "-web"});
    }
    if (!editions.empty()) return editions;
    if (EndsWith(out, ".exe")) return {{Edition::Windows, out}};
    if (EndsWith(out, ".zip")) return {{Edition::WebZip, out}};
    if (EndsWith(out, "/") || sys::IsFolder(out)) return {{Edition::WebFolder, base}};
    return {{Edition::Linux, out}};
}

std::string WithTitle(std::string page, const std::string& title) {
    const std::size_t open = page.find("<title>");
    const std::size_t close = open == std::string::npos ? open : page.find("</title>", open);
    if (close == std::string::npos) return page;
    std::string escaped;
    for (const char c : title) {
        if (c == '<')
            escaped += "&lt;";
        else if (c == '>')
            escaped += "&gt;";
        else if (c == '&')
            escaped += "&amp;";
        else
            escaped += c;
    }
    return page.replace(open + 7, close - open - 7, escaped);
}

namespace {

// The page with the empty content of its meta element Name made Value.
std::string WithMeta(std::string page, const std::string& name, const std::string& value) {
    const std::string empty = "<meta name=\"" + name + "\" content=\"\">";
    const std::size_t at = page.find(empty);
    if (at == std::string::npos) return page;
    return page.replace(at, empty.size(), "<meta name=\"" + name + "\" content=\"" + value + "\">");
}

}  // namespace

std::string WithPackNamed(std::string page, const std::string& pack) {
    return WithMeta(std::move(page), "quixmag-issue", pack);
}

std::string WithFirstIssue(std::string page, const std::string& pack) {
    return WithMeta(std::move(page), "quixmag-first", pack);
}

namespace {

// Text as the inside of a JSON string.
std::string JsonEscaped(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            const auto code = static_cast<unsigned char>(c);
            out += "\\u00";
            out += "0123456789abcdef"[code >> 4];
            out += "0123456789abcdef"[code & 15];
        } else {
            out += c;
        }
    }
    return out;
}

// Where the string value of Key's first member begins and ends (after its
// opening and at its closing quote), or npos.
std::pair<std::size_t, std::size_t> JsonValueOf(const std::string& json, const std::string& key) {
    const std::string quoted = '"' + key + '"';
    for (std::size_t at = json.find(quoted); at != std::string::npos; at = json.find(quoted, at + 1)) {
        std::size_t i = json.find_first_not_of(" \t\r\n", at + quoted.size());
        if (i == std::string::npos || json[i] != ':') continue;  // a value that reads like the key
        i = json.find_first_not_of(" \t\r\n", i + 1);
        if (i == std::string::npos || json[i] != '"') continue;
        for (std::size_t end = i + 1; end < json.size(); ++end) {
            if (json[end] == '\\')
                ++end;
            else if (json[end] == '"')
                return {i + 1, end};
        }
        break;
    }
    return {std::string::npos, std::string::npos};
}

}  // namespace

std::string WithAppNames(std::string webManifest, const std::string& name, const std::string& shortName) {
    for (const auto& [key, value] : {std::pair{"name", &name}, std::pair{"short_name", &shortName}}) {
        const auto [begin, end] = JsonValueOf(webManifest, key);
        if (begin != std::string::npos) webManifest.replace(begin, end - begin, JsonEscaped(*value));
    }
    return webManifest;
}

std::string WithSiteFiles(std::string worker, const PackFiles& site,
                          const std::function<bool(const std::string&)>& fetchedWhenRead) {
    const std::string start = "\nconst SITE = ";
    const std::size_t at = worker.find(start);
    if (at == std::string::npos) return worker;
    std::vector<const PackFile*> files;
    for (const PackFile& file : site)
        if (file.Name != "sw.js") files.push_back(&file);
    std::sort(files.begin(), files.end(), [](const PackFile* a, const PackFile* b) { return a->Name < b->Name; });
    // 64-bit FNV-1a over each file's name, length and bytes.
    std::uint64_t digest = 14695981039346656037ull;
    auto add = [&digest](std::string_view bytes) {
        for (const char c : bytes) digest = (digest ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    };
    std::string listed;
    std::string lazy;
    for (const PackFile* file : files) {
        add(file->Name);
        add(std::string_view("\0", 1));
        add(std::to_string(file->Bytes.size()));
        add(std::string_view("\0", 1));
        add(file->Bytes);
        std::string& into = fetchedWhenRead && fetchedWhenRead(file->Name) ? lazy : listed;
        into += (into.empty() ? "\"" : ", \"") + JsonEscaped(file->Name) + '"';
    }
    std::string version(16, '0');
    for (int i = 15; i >= 0; --i, digest >>= 4) version[static_cast<std::size_t>(i)] = "0123456789abcdef"[digest & 15];
    const std::size_t end = std::min(worker.find('\n', at + 1), worker.size());
    return worker.replace(at + 1, end - at - 1,
                          "const SITE = { \"version\": \"" + version + "\", \"files\": [" + listed +
                              "], \"whenRead\": [" + lazy + "] };");
}

PackFiles EditionContent::Packed() const {
    PackFiles out;
    if (Issues.size() == 1 && MagazineManifest.empty()) return Issues.front().Files;
    out.push_back({std::string(MagazineManifestName), MagazineManifest});
    for (const EditionIssue& issue : Issues)
        for (const PackFile& file : issue.Files) out.push_back({issue.Folder + "/" + file.Name, file.Bytes});
    return out;
}

bool WriteEdition(const EditionOut& edition, const EditionContent& content, const Runners& runners,
                  std::string& error) {
    // The folder OUT is to go into is made as the editor names it.
    std::error_code code;
    const std::filesystem::path parent = std::filesystem::path(edition.Path).parent_path();
    if (!parent.empty() && !std::filesystem::create_directories(parent, code) && code) {
        error = parent.string() + ": " + code.message();
        return false;
    }
    switch (edition.Kind) {
    case Edition::Linux: return WriteExecutable(runners.Linux, "Linux", content.Packed(), edition.Path, error);
    case Edition::Windows: return WriteExecutable(runners.Windows, "Windows", content.Packed(), edition.Path, error);
    case Edition::WebFolder:
    case Edition::WebZip: {
        PackFiles site;
        if (!SiteFiles(content, runners, site, error)) return false;
        if (edition.Kind == Edition::WebFolder) return WriteSiteFolder(site, edition.Path, error);
        std::string bytes;
        if (!WritePack({}, site, bytes, error)) return false;
        if (WriteFileReplacing(edition.Path, bytes, error)) return true;
        error = edition.Path + ": " + error;
        return false;
    }
    }
    return false;
}

}  // namespace issue
