// Checks the content embedded in this executable against the rules the
// program relies on (tools/content_rules.h): every catalogued resource is
// there, screens fit 80x25 and leave the menus' places free, twins are
// 7-bit, the header screens carry their five field markers, texts suit the
// viewer. Prints one line per problem and exits with 1 when there is any;
// otherwise prints a summary and exits with 0.
//
//   check_content          checks what is embedded in this executable
//   check_content FOLDER   checks an issue folder and its manifest before a
//                          build, one line per problem, "FILE:LINE: what is
//                          wrong; how to fix it"
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "content_rules.h"
#include "issue_check.h"
#include "sys/resources.h"

namespace {

// A magazine folder: every issue checked, each named in its problems.
int CheckMagazine(const std::filesystem::path& folder) {
    issuecheck::Lines problems;
    const issuecheck::MagazineCheck check = issuecheck::CheckMagazineFolder(folder, problems);
    DoneConsole();
    for (const std::string& line : problems) std::printf("%s\n", line.c_str());
    if (!problems.empty()) {
        std::printf("%s: %zu problem(s)\n", folder.string().c_str(), problems.size());
        return 1;
    }
    for (const auto& issue : check.Issues)
        std::printf("%s: issue #%d, %s: %d screens drawn, %d texts read, %d modules played, no problems\n",
                    (folder / issue.Folder).string().c_str(), issue.Manifest.Number, issue.Manifest.Date.c_str(),
                    issue.Counts.Screens, issue.Counts.Texts, issue.Counts.Modules);
    std::printf("%s: %s, %zu issues, no problems\n", folder.string().c_str(), check.Names.Title.c_str(),
                check.Issues.size());
    return 0;
}

int CheckIssueFolder(const std::filesystem::path& folder) {
    if (!std::filesystem::is_directory(folder)) {
        std::printf("%s: not a folder; give the magazine's folder (the one that holds magazine.toml) or the "
                    "issue's (the one that holds issue.toml)\n",
                    folder.string().c_str());
        return 2;
    }
    if (std::filesystem::is_regular_file(folder / "magazine.toml")) return CheckMagazine(folder);
    issuecheck::Lines problems;
    issue::Manifest manifest;
    const issuecheck::Totals totals = issuecheck::CheckFolder(folder, problems, manifest);
    DoneConsole();
    for (const std::string& line : problems) std::printf("%s\n", line.c_str());
    if (!problems.empty()) {
        std::printf("%s: %zu problem(s)\n", folder.string().c_str(), problems.size());
        return 1;
    }
    std::printf("%s: issue #%d, %s: %d screens drawn, %d texts read, %d modules played, no problems\n",
                folder.string().c_str(), manifest.Number, manifest.Date.c_str(), totals.Screens, totals.Texts,
                totals.Modules);
    return 0;
}

// The usage, with the name the checker was started by (check_content in a
// build folder, quixmag-check when installed).
void PrintUsage(std::FILE* to, const char* argv0) {
    std::string name = argv0 ? argv0 : "check_content";
    if (const std::size_t slash = name.find_last_of('/'); slash != std::string::npos) name.erase(0, slash + 1);
    const std::string pad(name.size(), ' ');
    std::fprintf(to,
                 "usage: %s [FOLDER]\n"
                 "\n"
                 "  %s          checks the issue embedded in this executable\n"
                 "  %s FOLDER   checks an issue folder (the one that holds issue.toml) before it\n"
                 "  %s          is packed; a relative FOLDER is taken from the current folder\n"
                 "\n"
                 "Prints one line per problem, FILE:LINE: what is wrong; how to fix it, and exits with 1\n"
                 "when there is any, with 0 and a summary line when there is none.\n"
                 "See making-an-issue.md (/usr/share/doc/quixmag/ when installed).\n",
                 name.c_str(), name.c_str(), name.c_str(), pad.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
        PrintUsage(stdout, argv[0]);
        return 0;
    }
    if (argc == 2) return CheckIssueFolder(argv[1]);
    if (argc > 2) {
        PrintUsage(stderr, argv[0]);
        return 2;
    }
    const contentrules::Lookup lookup = [](const std::string& name) -> std::optional<std::string_view> {
        const ResourceData* resource = FindResource(name);
        if (!resource) return std::nullopt;
        return std::string_view(reinterpret_cast<const char*>(resource->Data), resource->Size);
    };
    const ResourceData* manifestResource = FindResource("issue");
    if (!manifestResource) {
        std::printf("ISSUE: missing from the executable: it carries no issue.toml\n");
        return 1;
    }
    std::vector<issue::Problem> manifestProblems;
    const issue::Manifest manifest =
        issue::ReadManifestText(manifestResource->Bytes(), "issue.toml", {}, manifestProblems);
    contentrules::Summary summary;
    contentrules::Problems problems;
    for (const issue::Problem& p : manifestProblems) problems.push_back(issue::Format("ISSUE", p));
    const contentrules::Problems checked = contentrules::CheckCatalogue(manifest, lookup, summary);
    problems.insert(problems.end(), checked.begin(), checked.end());
    DoneConsole();

    const contentrules::Problems strays = contentrules::CheckUncatalogued(manifest, ResourceNames());
    problems.insert(problems.end(), strays.begin(), strays.end());

    for (const std::string& line : problems) std::printf("%s\n", line.c_str());
    if (!problems.empty()) {
        std::printf("content check: %zu problem(s)\n", problems.size());
        return 1;
    }
    std::printf("content check: %d resources present, %d screens drawn, %d texts read, no problems\n",
                summary.Resources, summary.Screens, summary.Texts);
    return 0;
}
