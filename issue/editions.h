// The editions an editor ships: an issue's files put beside a runner, a
// magazine program that carries no issue of its own choosing. A Linux or
// Windows edition is the runner with the pack appended (one executable); a
// web edition is the runner's site with the pack as issue.zip, written to
// a folder or into a zip of its own.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "issue/manifest.h"
#include "issue/pack.h"

namespace issue {

enum class Edition { Linux, Windows, WebFolder, WebZip };

// Where the runners are: the Linux one (normally the running program), the
// Windows one (quixmag.exe) and the web site's folder.
struct Runners {
    std::string Linux, Windows, Web;
};

// The runners installed beside OwnExecutable (its folder's ../lib/quixmag,
// or runners/ in a build folder), or in the folder the environment's
// QUIXMAG_RUNNERS names.
Runners FindRunners(const std::string& ownExecutable);

// The editions to write and where: one for each flag given ("--linux",
// "--windows", "--web"), named after Out (Out, Out.exe, Out-web), or the
// one Out's name asks for (".exe", ".zip", a name that ends in "/" or an
// existing folder for the web, else Linux).
struct EditionOut {
    Edition Kind;
    std::string Path;
};
std::vector<EditionOut> EditionsFor(const std::string& out, const std::vector<std::string>& flags);

const char* EditionName(Edition kind);

// What an edition carries: the magazine's names, its magazine.toml (for a
// magazine of more issues than one) and each issue's folder, manifest and
// files, in the order of their numbers.
struct EditionIssue {
    std::string Folder;  // empty for an issue alone, whose files stand at the top
    Manifest Contents;
    PackFiles Files;     // manifest included
};
struct EditionContent {
    MagazineNames Names;
    std::string MagazineManifest;  // magazine.toml's bytes; empty for an issue alone
    std::vector<EditionIssue> Issues;

    // The files as a pack holds them: an issue alone's at the top, a
    // magazine's magazine.toml and each issue's files in its folder.
    PackFiles Packed() const;
};

// Writes one edition of Content to Out; nothing is left at Out when it
// fails. Answers false with one line.
bool WriteEdition(const EditionOut& edition, const EditionContent& content, const Runners& runners,
                  std::string& error);

// The site's page with its title made Title.
std::string WithTitle(std::string page, const std::string& title);

// The site's page naming Pack as the issue it reads (its meta element
// "quixmag-issue"): a page that names none shows the issue built into its
// program and asks the server for nothing more.
std::string WithPackNamed(std::string page, const std::string& pack);

// The site's page naming Pack as the pack of the issue it opens first (its
// meta element "quixmag-first"), fetched beside the magazine's shelf.
std::string WithFirstIssue(std::string page, const std::string& pack);

// The site's web app manifest (app.webmanifest) with its "name" made Name
// and its "short_name" ShortName, as the installed magazine is called.
std::string WithAppNames(std::string webManifest, const std::string& name, const std::string& shortName);

// The site's service worker (sw.js) with its line "const SITE = ..." made
// to list every file of Site but itself, with a version made of their
// names and bytes: a site that differs in any byte is, to the browsers that
// keep it for reading offline, a new version. The files FetchedWhenRead
// names (a magazine's issues and their tracks) are listed apart: the worker
// keeps them once they were read, and fetches the others at once.
std::string WithSiteFiles(std::string worker, const PackFiles& site,
                          const std::function<bool(const std::string&)>& fetchedWhenRead = {});

}  // namespace issue
