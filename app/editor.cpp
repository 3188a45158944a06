#include "app/editor.h"

#include <chrono>
#include <cstdio>

#include "ansi/ansi_renderer.h"
#include "app/issue.h"
#include "app/program.h"
#include "app/public_mode.h"
#include "console/m_Console.h"
#include "issue/editions.h"
#include "issue/issue.h"
#include "sys/sys.h"

namespace {

// The checker installed beside the magazine (or built beside it).
std::string FindChecker(const std::string& ownExecutable) {
    const std::string folder = sys::FolderOf(ownExecutable);
    for (const char* name : {"quixmag-check", "check_content", "quixmag-check.exe", "check_content.exe"})
        if (sys::IsFile(folder + name)) return folder + name;
    return {};
}

// Runs the checker on Folder; its lines go to the editor's terminal.
int RunChecker(const std::string& ownExecutable, const std::string& folder) {
    const std::string checker = FindChecker(ownExecutable);
    if (checker.empty()) {
        std::fprintf(stderr, "quixmag: the checker (quixmag-check) is not installed beside %s\n",
                     ownExecutable.c_str());
        return 2;
    }
    std::string error;
    const int status = sys::RunProgram(checker, {checker, folder}, error);
    if (status < 0) std::fprintf(stderr, "quixmag: cannot run %s: %s\n", checker.c_str(), error.c_str());
    return status < 0 ? 2 : status;
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// --pack FOLDER OUT [--linux] [--windows] [--web]: checks the folder, then
// writes each edition asked for.
int Pack(const std::string& ownExecutable, const std::vector<std::string>& args, std::size_t at) {
    if (at + 2 >= args.size()) {
        std::fprintf(stderr, "usage: quixmag --pack FOLDER OUT [--linux] [--windows] [--web]\n");
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    const std::string folder = args[at + 1];
    const std::string out = args[at + 2];
    std::vector<std::string> flags;
    for (const std::string& arg : args)
        if (arg == "--linux" || arg == "--windows" || arg == "--web") flags.push_back(arg);

    if (const int status = RunChecker(ownExecutable, folder); status != 0) {
        std::fprintf(stderr, "quixmag: %s is not packed: the checker found problems (above)\n", folder.c_str());
        return 1;
    }
    issue::PackFiles files;
    issue::Issue checked;
    std::string error;
    if (!issue::ReadIssueFolder(folder, files, error) || !checked.Take(issue::PackFiles(files), folder, error)) {
        std::fprintf(stderr, "quixmag: %s\n", error.c_str());
        return 1;
    }
    const issue::Runners runners = issue::FindRunners(ownExecutable);
    const issue::Manifest& m = checked.Contents;
    for (const issue::EditionOut& edition : issue::EditionsFor(out, flags)) {
        if (!issue::WriteEdition(edition, files, m, runners, error)) {
            std::fprintf(stderr, "quixmag: %s edition not written: %s\n", issue::EditionName(edition.Kind),
                         error.c_str());
            return 1;
        }
        std::printf("%s: the %s edition of %s, issue #%d, %s\n", edition.Path.c_str(), issue::EditionName(edition.Kind),
                    m.Title.c_str(), m.Number, m.Date.c_str());
    }
    std::printf("packed in %.1f s\n", SecondsSince(start));
    return 0;
}

}  // namespace

int RunEditorCommand(const std::string& ownExecutable, const std::vector<std::string>& args) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string arg = Lower(args[i]);
        if (arg == "--check") {
            if (i + 1 >= args.size()) {
                std::fprintf(stderr, "usage: quixmag --check FOLDER\n");
                return 2;
            }
            return RunChecker(ownExecutable, args[i + 1]);
        }
        if (arg == "--pack") return Pack(ownExecutable, args, i);
    }
    return -1;
}

bool ChooseIssue(const std::string& ownExecutable, const std::vector<std::string>& args, std::string& error) {
    issue::Issue chosen;
    if (HasSwitch(args, "--issue")) {
        const std::string path = ValueOf(args, "--issue");
        if (PublicMode()) {
            error = "--issue is not taken on a board (QUIXMAG_PUBLIC): the board shows the issue it carries";
            return false;
        }
        if (path.empty()) {
            error = "--issue needs the issue's folder or pack: quixmag --issue my-issue";
            return false;
        }
        if (!issue::LoadIssue(path, chosen, error)) return false;
        ShowIssue(std::move(chosen));
        return true;
    }
    // Most starts carry no pack: the end of the file tells, without reading
    // the whole program.
    std::string carrier;
    if (!sys::ReadFileTail(ownExecutable, issue::PackEndSearch, carrier, error) || !issue::EndsWithPack(carrier)) {
        error.clear();
        return true;  // the issue built in
    }
    issue::PackFiles files;
    if (!sys::ReadWholeFile(ownExecutable, carrier, error) || !issue::ReadPack(carrier, files, error) ||
        !chosen.Take(std::move(files), ownExecutable, error)) {
        error = "the issue this magazine carries cannot be read: " + error;
        return false;
    }
    ShowIssue(std::move(chosen));
    return true;
}

std::string ScreenToShow(const std::vector<std::string>& args) {
    return HasSwitch(args, "--show") ? ValueOf(args, "--show") : std::string();
}

void ShowScreenFile(const std::string& File) {
    std::string bytes;
    std::string error;
    if (!sys::ReadWholeFile(File, bytes, error)) FatalError(File + ": " + error);
    SetTextColor(7);
    ClearScreen();
    ShowAnsiBytes(bytes, DisplaySpeed);
    ReadKey();
}
