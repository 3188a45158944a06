#include "issue/editions.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

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

// The web edition's files: the site with the issue's title and the pack.
bool SiteFiles(const PackFiles& files, const Manifest& manifest, const Runners& runners, PackFiles& site,
               std::string& error) {
    if (!ReadSite(runners.Web, site, error)) return false;
    for (PackFile& file : site)
        if (file.Name == "index.html") file.Bytes = WithTitle(std::move(file.Bytes), manifest.Title);
    PackFile pack{"issue.zip", {}};
    if (!WritePack({}, files, pack.Bytes, error)) return false;
    site.push_back(std::move(pack));
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
    for (const PackFile& file : site)
        if (!WriteFileReplacing(sys::WithSeparator(out) + file.Name, file.Bytes, error)) {
            error = out + "/" + file.Name + ": " + error;
            if (made) sys::RemoveFolderTree(out);
            return false;
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

bool WriteEdition(const EditionOut& edition, const PackFiles& files, const Manifest& manifest, const Runners& runners,
                  std::string& error) {
    // The folder OUT is to go into is made as the editor names it.
    std::error_code code;
    const std::filesystem::path parent = std::filesystem::path(edition.Path).parent_path();
    if (!parent.empty() && !std::filesystem::create_directories(parent, code) && code) {
        error = parent.string() + ": " + code.message();
        return false;
    }
    switch (edition.Kind) {
    case Edition::Linux: return WriteExecutable(runners.Linux, "Linux", files, edition.Path, error);
    case Edition::Windows: return WriteExecutable(runners.Windows, "Windows", files, edition.Path, error);
    case Edition::WebFolder:
    case Edition::WebZip: {
        PackFiles site;
        if (!SiteFiles(files, manifest, runners, site, error)) return false;
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
