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
#include "app/door.h"
#include "app/editor.h"
#include "app/issue.h"
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
void LeaveAtEndOfInput() {
    static bool leaving = false;
    if (leaving) EndProgram(0);
    leaving = true;
    if (RunsAsDoor()) {
        ClearHeaderFields();
        RemoveWorkFolder();
    } else {
        ExitScreen();
    }
    EndProgram(0);
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

void PrintUsage() {
    const issue::Manifest& shown = issue::TheIssue().Contents;
    WriteLine("[]  " + issue::Spaced(shown.Name + " magazine", 3));
    NewLine();
    WriteLine("  use the following switches if you are having problem with music");
    WriteLine("  or ansi graphics display.");
    NewLine();
    WriteLine("  --help, /h, -h  : this screen... obviously.");
    WriteLine("  --silent        : no music for you :p");
    WriteLine("  --ascii         : no special chars for you, only ascii chars");
    WriteLine("  --terminal-colours : the terminal's own colours, not the pc's");
    NewLine();
    if (!shown.Contact.empty()) {
        WriteLine("  " + shown.Contact);
        NewLine();
    }
}

bool ReadCommandLine(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = Lower(argv[i]);
        if (arg == "--issue" || arg == "--show" || arg == "--door" || arg == "--idle") {
            ++i;  // the editor's and the board's switches: their value is never a switch
        } else if (arg == "--ascii") {
            AsciiSuffix = "_asc";
        } else if (arg == "--silent") {
            SilentMode = true;
        } else if (arg == "--terminal-colours") {
            conapi::UseTerminalPalette();
        } else if (arg == "--help" || arg == "/h" || arg == "-h" || arg == "help") {
            PrintUsage();
            return false;
        }
    }
    return true;
}

bool IsGlobalHotKey(char Key) {
    const std::string key = Upper(std::string(1, Key));
    if (key == "T" || key == "M" || key == "H") return !TrackMenuOpen;
    return key == "X" || key == "P" || key == "A" || key == "+" || key == "-";
}

void GlobalHotKey(char Key, int32_t /*Highlighted*/) {
    const std::string key = Upper(std::string(1, Key));
    if (key == "X") {
        ExitScreen();
        EndProgram(0);
    } else if (key == "T" || key == "M") {
        if (!TrackMenuOpen) TrackMenu();
    } else if (key == "P") {
        ToggleMusic();
    } else if (key == "H") {
        if (!TrackMenuOpen) ShowHelpScreen();
    } else if (key == "A") {
        AsciiSuffix = AsciiSuffix.empty() ? "_asc" : "";
    } else if (key == "-") {
        DisplaySpeed = std::max(0, DisplaySpeed - 20);
    } else if (key == "+") {
        DisplaySpeed += 20;
    }
}

void ExitScreen() {
    SetTextColor(7);
    ClearScreen();
    ShowResourceScreen("exit" + AsciiSuffix);
    Delay(500);
    SetTextColor(7);
    ClearScreen();
    if (!SilentMode) {
        if (!MusicFailed)
            ReleaseMusic();
        else
            WriteLine("hmm... something went wrong. but who cares. c ya");
    }
    ClearHeaderFields();
    // Every file the program wrote for itself lives in the working folder.
    RemoveWorkFolder();
}

int RunMagazine(int argc, char** argv) {
    // The editor's commands and the choice of issue come before the console
    // is taken: their messages are plain lines on the terminal as it is.
    const std::string self = sys::ExecutablePath(argc > 0 ? argv[0] : nullptr);
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    if (const int status = RunEditorCommand(self, args); status >= 0) return status;
    std::string issueError;
    if (!PrepareDoor(args, issueError) || !ChooseIssue(self, args, issueError)) {
        std::fprintf(stderr, "quixmag: %s\n", issueError.c_str());
        return 1;
    }
    InitConsole();
    conapi::SetEndOfInputHandler(LeaveAtEndOfInput);
    SetRendererArguments(argc, argv);
    ClearScreen();
    ResetTerminal();
    // The reset's characters are glyphs on this console: clear them so the
    // switch summary and the start-up messages begin on a clean screen.
    ClearScreen();
    ProgramDir = ExecutableFolder(argc > 0 ? argv[0] : nullptr);
    EndKeys = std::string(1, '\r');
    EndKeysExtended.clear();
    if (!ReadCommandLine(argc, argv)) {
        DoneConsole();
        return 0;
    }
    WatchCallerTime();
    if (const std::string screen = ScreenToShow(args); !screen.empty()) {
        ShowScreenFile(screen);
        DoneConsole();
        return 0;
    }
    if (conapi::ShowsOnlyAscii()) UsePlainAsciiScreens();
    // Only the music needs the working folder (screens and texts are drawn
    // from memory): without one the magazine runs silent.
    std::string folderError;
    const bool haveWorkFolder = OpenWorkFolder(folderError);
    conapi::SetAbortCleanup(RemoveWorkFolderNow);
    // A board's callers and remote readers hear nothing: the sound library
    // is then neither written out nor loaded.
    if (!MusicAllowed()) SilentMode = true;
    if (!SilentMode) {
        if (haveWorkFolder)
            LoadSoundLibrary(TrackEntries.front().Module);  // the manifest names at least one
        else
            SoundLibraryUnwritable(folderError);
    }
    ShowLogo();
    Delay(1000);
    MainMenu();
    ExitScreen();
    DoneConsole();
    return 0;
}
