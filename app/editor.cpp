#include "app/editor.h"

#include <chrono>
#include <cstdio>

#include "ansi/ansi_renderer.h"
#include "ansi/art.h"
#include "app/program.h"
#include "app/public_mode.h"
#include "console/m_Console.h"
#include "issue/editions.h"
#include "issue/issue.h"
#include "issue/magazine.h"
#include "sys/sys.h"
#include "viewer/art_viewer.h"

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

// Every issue of the magazine folder Folder (or the issue folder), read
// whole and checked as the program reads it, for the editions.
bool ReadEditionContent(const std::string& folder, issue::EditionContent& content, std::string& error) {
    issue::Magazine magazine;
    if (!magazine.Load(folder, error)) return false;
    content.Names = magazine.Names;
    const bool alone = magazine.Issues.size() == 1 && magazine.Issues.front().Folder.empty();
    if (!alone && !sys::ReadWholeFile(sys::WithSeparator(folder) + std::string(issue::MagazineManifestName),
                                      content.MagazineManifest, error))
        return false;
    for (const issue::IssueSummary& summary : magazine.Issues) {
        const std::string where = alone ? folder : sys::WithSeparator(folder) + summary.Folder;
        issue::EditionIssue edition{summary.Folder, {}, {}};
        issue::Issue checked;
        if (!issue::ReadIssueFolder(where, edition.Files, error) ||
            !checked.Take(issue::PackFiles(edition.Files), where, error, alone ? nullptr : &magazine.Names))
            return false;
        edition.Contents = checked.Contents;
        content.Issues.push_back(std::move(edition));
    }
    return true;
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
    issue::EditionContent content;
    std::string error;
    if (!ReadEditionContent(folder, content, error)) {
        std::fprintf(stderr, "quixmag: %s\n", error.c_str());
        return 1;
    }
    const issue::Runners runners = issue::FindRunners(ownExecutable);
    const issue::Manifest& newest = content.Issues.back().Contents;
    for (const issue::EditionOut& edition : issue::EditionsFor(out, flags)) {
        if (!issue::WriteEdition(edition, content, runners, error)) {
            std::fprintf(stderr, "quixmag: %s edition not written: %s\n", issue::EditionName(edition.Kind),
                         error.c_str());
            return 1;
        }
        if (content.Issues.size() == 1)
            std::printf("%s: the %s edition of %s, issue #%d, %s\n", edition.Path.c_str(),
                        issue::EditionName(edition.Kind), content.Names.Title.c_str(), newest.Number,
                        newest.Date.c_str());
        else
            std::printf("%s: the %s edition of %s, %zu issues, the newest #%d, %s\n", edition.Path.c_str(),
                        issue::EditionName(edition.Kind), content.Names.Title.c_str(), content.Issues.size(),
                        newest.Number, newest.Date.c_str());
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

bool ChooseMagazine(const std::string& ownExecutable, const std::vector<std::string>& args, issue::Magazine& chosen,
                    std::string& error) {
    if (HasSwitch(args, "--issue")) {
        const std::string path = ValueOf(args, "--issue");
        if (PublicMode()) {
            error = "--issue is not taken on a board (QUIXMAG_PUBLIC): the board shows the magazine it carries";
            return false;
        }
        if (path.empty()) {
            error = "--issue needs the magazine's or the issue's folder, or a pack: quixmag --issue my-issue";
            return false;
        }
        return chosen.Load(path, error);
    }
    bool carried = false;
    if (!chosen.LoadCarried(ownExecutable, carried, error)) {
        error = "the magazine this program carries cannot be read: " + error;
        return false;
    }
    if (carried) return true;
    if (chosen.TakeBuiltIn(error)) return true;
    error = "the issue built into this magazine cannot be read: " + error;
    return false;
}

bool IssueToRead(const issue::Magazine& magazine, const std::vector<std::string>& args, int& number,
                 std::string& error) {
    number = magazine.Newest();
    if (!HasSwitch(args, "--read")) return true;
    const std::string given = ValueOf(args, "--read");
    number = StrToInt(given);
    if (IntToStr(number) == given && magazine.Find(number)) return true;
    std::string held;
    for (const issue::IssueSummary& s : magazine.Issues) held += (held.empty() ? "#" : ", #") + std::to_string(s.Number);
    error = "--read " + given + ": the magazine holds no such issue; it holds " + held;
    return false;
}

std::string ScreenToShow(const std::vector<std::string>& args) {
    return HasSwitch(args, "--show") ? ValueOf(args, "--show") : std::string();
}

namespace {

// A piece as the gallery shows it: its look, a window the arrows and page
// keys move over a piece larger than the screen, I for its credits; any
// other key ends the run.
void ShowPieceFile(const std::string& file, const std::string& bytes) {
    Art art;
    ArtProblem problem;
    if (!ReadArt(bytes, file, 0, art, problem))
        FatalError(file + ": cannot be drawn: " + (problem.Offset > 0 ? "byte " + std::to_string(problem.Offset) + ": " : "") +
                   problem.Text);
    const ArtLook look(art);
    CanvasView view = DrawArtPaced(art, bytes, DisplaySpeed);
    for (;;) {
        const char key = ReadKey();
        if (key == 0 && MoveCanvasView(art.Canvas, view, static_cast<Byte>(ReadKey()))) {
            DrawCanvasView(art.Canvas, view);
            continue;
        }
        if (art.Record.Present && (key == 'i' || key == 'I')) {
            ShowArtCredits(art, look.DrawsOwnFont());
            continue;
        }
        return;
    }
}

}  // namespace

void ShowScreenFile(const std::string& File) {
    std::string bytes;
    std::string error;
    if (!sys::ReadWholeFile(File, bytes, error)) FatalError(File + ": " + error);
    // One of an issue's own screens is drawn as the screens are; any other
    // file as a piece of the gallery.
    if (!issue::IsFixedResource(issue::ResourceOf(File))) {
        ShowPieceFile(File, bytes);
        return;
    }
    SetTextColor(7);
    ClearScreen();
    ShowAnsiBytes(bytes, DisplaySpeed);
    ReadKey();
}
