#include "app/program.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "ansi/ansi_renderer.h"
#include "console/conapi.h"
#include "console/m_Console.h"
#include "music/music.h"
#include "widgets/prompts.h"
#include "app/articles.h"
#include "app/back_issues.h"
#include "app/door.h"
#include "app/editor.h"
#include "app/magazine_run.h"
#include "app/main_menu.h"
#include "app/public_mode.h"
#include "app/resources.h"
#include "app/track_menu.h"
#include "sys/sys.h"
#include "sys/workfiles.h"

std::string AsciiSuffix;
int32_t DisplaySpeed = 800;
bool TrackMenuOpen = false;
std::string ProgramDir;
std::string CurrentScreenFile;

namespace {

constexpr int PlainAsciiNoticePause = 1500;

// The folder of the executable itself, wherever it was started from, whole
// however long it is.
std::string ExecutableFolder(const char* argv0) {
    const std::string folder = sys::FolderOf(sys::ExecutablePath(argv0));
    return folder.empty() ? sys::WithSeparator(folder) : folder;
}

// Input has ended for good (the terminal went away, or standard input was
// not a terminal): leave the way hot key X does.
// A door's caller who dropped sees nothing more: the door only cleans up,
// at once.
void LeaveAtEndOfInput(MagazineRun& run) {
    if (run.Leaving) EndProgram(0);
    run.Leaving = true;
    run.Log.Write(run.Door.Door ? "end: caller dropped" : "end: input ended");
    if (run.Door.Door) {
        ClearHeaderFields();
        RemoveWorkFolder();
    } else {
        ExitScreen(run);
    }
    EndProgram(0);
}

// --log FILE (or -): the sysop's log, opened before anything can be
// refused, so that a refusal is in it too. A log that cannot be opened is
// said on standard error and the run goes on.
bool OpenLog(const std::vector<std::string>& args, CallerLog& log, std::string& error) {
    if (!HasSwitch(args, "--log")) return true;
    const std::string target = ValueOf(args, "--log");
    if (target.empty() || (target.rfind("--", 0) == 0)) {
        error = "--log needs the file to append to, or - for standard error: --log /var/log/quixmag.log";
        return false;
    }
    log.Open(target);
    return true;
}

// The log's first lines of a stay: who (the drop file's caller and node),
// what the drop file was, and what was dropped or noted of it.
void LogStart(MagazineRun& run) {
    const DropFile& drop = run.Door.Drop;
    run.Log.Identify(drop.Node, drop.Caller);
    const std::string issue = "issue #" + std::to_string(run.OpenNumber());
    run.Log.Write("start: " + (run.Door.Door ? drop.Described + ", " : std::string()) + issue);
    for (const std::string& note : drop.Notes) run.Log.Write("note: " + note);
}

// A terminal that shows only plain ASCII gets the plain-ASCII screens, and
// a line that says how to see the art, kept up long enough to be read
// before the logo clears it.
void UsePlainAsciiScreens() {
    AsciiSuffix = "_asc";
    WriteLine("plain ascii screens: a utf-8 locale (such as LANG=C.UTF-8) shows the art");
    Delay(PlainAsciiNoticePause);
}

}  // namespace

void ResetProgramWideValues() {
    AsciiSuffix.clear();
    DisplaySpeed = 800;
    TrackMenuOpen = false;
    ProgramDir.clear();
    CurrentScreenFile.clear();
    SilentMode = false;
    MusicFailed = false;
    MusicPlaying = false;
    CurrentMusicFile.clear();
    SoundLibraryFile.clear();
    EndKeys = std::string(1, '\r');
    EndKeysExtended.clear();
    ClearHeaderFields();
}

void EndProgram(int status) {
    DoneConsole();
    std::exit(status);
}

std::string ValueOf(const std::vector<std::string>& args, const std::string& name) {
    for (std::size_t i = 0; i + 1 < args.size(); ++i)
        if (Lower(args[i]) == name) return args[i + 1];
    return {};
}

bool HasSwitch(const std::vector<std::string>& args, const std::string& name) {
    for (const std::string& arg : args)
        if (Lower(arg) == name) return true;
    return false;
}

std::vector<std::string> UsageLines(const issue::Manifest& shown) {
    std::vector<std::string> lines = {
        "[]  " + issue::Spaced(shown.Name + " magazine", 3),
        "",
        "  use the following switches if you are having problem with music",
        "  or ansi graphics display.",
        "",
        "  --help, /h, -h  : this screen... obviously.",
        "  --silent        : no music for you :p",
        "  --ascii         : no special chars for you, only ascii chars",
        "",
    };
    if (!shown.Contact.empty()) {
        lines.push_back("  " + shown.Contact);
        lines.emplace_back();
    }
    // The switches the magazine has beside those: for readers, for a
    // board's sysop, and for the editor of an issue.
    for (const char* added : {
             "  --terminal-colours : the terminal's own 16 colours, not the pc's",
             "  --plain         : plain lines, no escape codes (teletypes, screen readers)",
             "  --read N        : open issue #N of the magazine first (b lists them all)",
             "  --door FILE     : be a board's door for the caller of the drop file FILE",
             "  --idle MINUTES  : leave after MINUTES without a key (a door's default: 5)",
             "  --max-minutes N : a stay lasts N minutes at most, whatever the drop file says",
             "  --log FILE      : one line per caller's event in FILE (- : standard error)",
             "  --issue PATH    : read the issue or magazine in the folder or pack PATH",
             "  --show FILE     : draw one screen or piece of art as the magazine does",
             "  --check FOLDER  : check an issue or magazine folder before it ships",
             "  --pack FOLDER OUT [--linux] [--windows] [--web] : check, then ship it",
         })
        lines.emplace_back(added);
    return lines;
}

void PrintUsage(const issue::Manifest& shown) {
    for (const std::string& line : UsageLines(shown)) {
        if (line.empty())
            NewLine();
        else
            WriteLine(line);
    }
}

namespace {

// The switches of the editor, the board and the magazine that take a
// value: the value is never read as a switch (lower-cased Arg).
bool TakesValue(const std::string& arg) {
    for (const char* name : {"--issue", "--show", "--door", "--idle", "--read", "--max-minutes", "--log"})
        if (arg == name) return true;
    return false;
}

bool IsHelp(const std::string& arg) { return arg == "--help" || arg == "/h" || arg == "-h" || arg == "help"; }

// Whether the command line asks for the switch summary, as ReadCommandLine
// reads it.
bool AsksForUsage(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = Lower(argv[i]);
        if (TakesValue(arg))
            ++i;
        else if (IsHelp(arg))
            return true;
    }
    return false;
}

// The switch summary for another program or a file: its lines as they
// are, with no screen around them and not one control byte.
void PrintPlainUsage(const issue::Manifest& shown) {
    for (std::string line : UsageLines(shown)) {
        std::erase_if(line, [](char c) { return static_cast<unsigned char>(c) < 32 || c == 127; });
        std::fputs((line + "\n").c_str(), stdout);
    }
    std::fflush(stdout);
}

}  // namespace

bool ReadCommandLine(const issue::Manifest& Names, int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = Lower(argv[i]);
        if (TakesValue(arg)) {
            ++i;
        } else if (arg == "--ascii") {
            AsciiSuffix = "_asc";
        } else if (arg == "--silent") {
            SilentMode = true;
        } else if (arg == "--terminal-colours") {
            conapi::UseTerminalPalette();
        } else if (IsHelp(arg)) {
            PrintUsage(Names);
            return false;
        }
    }
    return true;
}

bool IsGlobalHotKey(const MagazineRun& Run, char Key) {
    const std::string key = Upper(std::string(1, Key));
    if (key == "T" || key == "M" || key == "H") return !TrackMenuOpen && !Run.BackIssuesOpen;
    // B is a key only where there are back issues to read.
    if (key == "B") return Run.ManyIssues() && !TrackMenuOpen && !Run.BackIssuesOpen;
    if (key == "A") return !conapi::ShowsPlainLines();
    return key == "X" || key == "P" || key == "+" || key == "-";
}

void GlobalHotKey(MagazineRun& Run, char Key, int32_t /*Highlighted*/) {
    const std::string key = Upper(std::string(1, Key));
    if (key == "X") {
        Run.Log.Write("end: x");
        Run.Leaving = true;
        ExitScreen(Run);
        EndProgram(0);
    } else if (key == "T" || key == "M") {
        if (!TrackMenuOpen && !Run.BackIssuesOpen) TrackMenu(Run);
    } else if (key == "P") {
        Run.Player.ToggleMusic();
    } else if (key == "H") {
        if (!TrackMenuOpen && !Run.BackIssuesOpen) ShowHelpScreen(Run.Issue);
    } else if (key == "B") {
        if (IsGlobalHotKey(Run, Key)) BackIssuesMenu(Run);
    } else if (key == "A") {
        // Plain lines take the plain-ASCII screens only.
        if (!conapi::ShowsPlainLines()) AsciiSuffix = AsciiSuffix.empty() ? "_asc" : "";
    } else if (key == "-") {
        DisplaySpeed = std::max(0, DisplaySpeed - 20);
    } else if (key == "+") {
        DisplaySpeed += 20;
    }
}

void ExitScreen(MagazineRun& Run) {
    SetTextColor(7);
    ClearScreen();
    ShowResourceScreen(Run.Issue, "exit" + AsciiSuffix);
    Delay(500);
    SetTextColor(7);
    ClearScreen();
    if (!SilentMode) {
        if (!MusicFailed)
            Run.Player.ReleaseMusic();
        else
            WriteLine("hmm... something went wrong. but who cares. c ya");
    }
    ClearHeaderFields();
    // Every file the program wrote for itself lives in the working folder.
    RemoveWorkFolder();
}

int RunMagazine(int argc, char** argv) {
    ResetProgramWideValues();
    MagazineRun run;
    // The editor's commands and the choice of issue come before the console
    // is taken: their messages are plain lines on the terminal as it is.
    const std::string self = sys::ExecutablePath(argc > 0 ? argv[0] : nullptr);
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    if (const int status = RunEditorCommand(self, args); status >= 0) return status;
    std::string issueError;
    int first = 0;
    if (!OpenLog(args, run.Log, issueError) || !PrepareDoor(args, run.Door, issueError) ||
        !ChooseMagazine(self, args, run.Magazine, issueError) || !IssueToRead(run.Magazine, args, first, issueError) ||
        !BringIssue(run.Magazine, first, issueError) || !run.Magazine.Open(first, run.Issue, issueError)) {
        run.Log.Write("refused: " + issueError);
        std::fprintf(stderr, "quixmag: %s\n", issueError.c_str());
        return 1;
    }
    LogStart(run);
    if (AsksForUsage(argc, argv) && !conapi::OutputIsTerminal()) {
        PrintPlainUsage(run.Issue.Contents);
        return 0;
    }
    if (HasSwitch(args, "--plain")) conapi::UsePlainLines();
    InitConsole();
    conapi::SetEndOfInputHandler([&run] { LeaveAtEndOfInput(run); });
    SetRendererArguments(argc, argv);
    ClearScreen();
    ResetTerminal();
    // The reset's characters are glyphs on this console: clear them so the
    // switch summary and the start-up messages begin on a clean screen.
    ClearScreen();
    ProgramDir = ExecutableFolder(argc > 0 ? argv[0] : nullptr);
    EndKeys = std::string(1, '\r');
    EndKeysExtended.clear();
    if (!ReadCommandLine(run.Issue.Contents, argc, argv)) {
        DoneConsole();
        return 0;
    }
    WatchCallerTime(run);
    if (const std::string screen = ScreenToShow(args); !screen.empty()) {
        ShowScreenFile(screen);
        DoneConsole();
        return 0;
    }
    // Plain lines say the plain-ASCII screens; a terminal that shows only
    // ASCII is told how to see the art.
    if (conapi::ShowsPlainLines())
        AsciiSuffix = "_asc";
    else if (conapi::ShowsOnlyAscii())
        UsePlainAsciiScreens();
    // Only the music needs the working folder (screens and texts are drawn
    // from memory): without one the magazine runs silent.
    std::string folderError;
    const bool haveWorkFolder = OpenWorkFolder(folderError);
    conapi::SetAbortCleanup(RemoveWorkFolderNow);
    // A board's callers and remote readers hear nothing: the sound library
    // is then neither written out nor loaded.
    if (!MusicAllowed()) SilentMode = true;
    if (!SilentMode) {
        if (haveWorkFolder)  // the manifest names at least one track
            run.Player.LoadSoundLibrary(run.Issue, issue::ResourceOf(run.Issue.Contents.Tracks.front().Module));
        else
            run.Player.SoundLibraryUnwritable(folderError);
    }
    ShowLogo(run.Issue);
    Delay(1000);
    MainMenu(run);
    run.Log.Write("end: left the main menu");
    run.Leaving = true;
    ExitScreen(run);
    DoneConsole();
    return 0;
}
