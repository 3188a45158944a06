// Build-time gate: reads an issue folder's manifest before the folder is
// embedded, and refuses one that does not fit the program with one line
// per problem, naming the entry and the reason. The program reads the
// embedded manifest itself when it starts; this only keeps a build from
// making a magazine that would refuse its own issue. When the manifest
// fits, OUT is written with a line that names the issue ("quix magazine,
// issue #1, december 2026") and one with the magazine's title alone.
//
//   make_issue_tables OUT FOLDER
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "issue/manifest.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_issue_tables OUT FOLDER\n");
        return 2;
    }
    const std::filesystem::path folder = argv[2];
    const std::filesystem::path manifestPath = folder / "issue.toml";
    std::vector<issue::Problem> problems;
    const issue::Manifest m = issue::ReadManifest(manifestPath, folder, problems);
    if (!problems.empty()) {
        for (const issue::Problem& p : problems)
            std::fprintf(stderr, "%s\n", issue::Format(manifestPath.string(), p).c_str());
        std::fprintf(stderr, "the issue's manifest does not fit the magazine: %zu problem(s)\n", problems.size());
        return 1;
    }
    std::ofstream out(argv[1], std::ios::trunc);
    out << m.Title << ", issue #" << m.Number << ", " << m.Date << "\n" << m.Title << "\n";
    out.close();
    if (!out) {
        std::fprintf(stderr, "make_issue_tables: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
