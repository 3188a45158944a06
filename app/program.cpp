#include "program.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "../ansi/ansi_renderer.h"
#include "../console/conapi.h"
#include "../console/m_Console.h"
#include "../music/music.h"
#include "../widgets/prompts.h"
#include "articles.h"
#include "main_menu.h"
#include "resources.h"

#ifdef _WIN32
#include <windows.h>
#endif

std::string AsciiSuffix;
bool SilentMode = false;
bool MusicFailed = false;
bool MusicPlaying = false;
int32_t DisplaySpeed = 800;
bool TrackMenuOpen = false;
std::string ProgramDir;
std::string CurrentScreenFile;
std::string CurrentMusicFile;
std::string SoundLibraryFile;

namespace {

// The folder of the executable itself, wherever it was started from.
std::string ExecutableFolder(const char* argv0) {
#ifdef _WIN32
    // The path in the system's ANSI code page, the one the program's file
    // names are in.
    std::wstring wide(MAX_PATH, L'\0');
    DWORD length = 0;
    while ((length = GetModuleFileNameW(nullptr, wide.data(), static_cast<DWORD>(wide.size()))) == wide.size())
        wide.resize(wide.size() * 2);
    if (length > 0) {
        wide.resize(length);
        const int bytes = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
        std::string path(static_cast<std::size_t>(bytes > 0 ? bytes : 1), '\0');
        WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, path.data(), bytes, nullptr, nullptr);
        path.resize(std::strlen(path.c_str()));
        return AddSlash(std::filesystem::path(path).parent_path().string());
    }
#endif
    std::error_code error;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error || self.empty()) self = std::filesystem::absolute(argv0 ? argv0 : "", error);
    return AddSlash(self.parent_path().string());
}

void RemoveIfFile(const std::string& name) {
    if (!name.empty() && IsFile(name)) std::remove(name.c_str());
}

// The files the program keeps while it runs.
void RemoveWorkingFiles() {
    RemoveIfFile(SoundLibraryFile);
    for (const char* name : {"music.mod", "articles.ans", "tutors.ans", "menu1.ans"}) RemoveIfFile(ProgramDir + name);
}

// Input has ended for good (the terminal went away, or standard input was
// not a terminal): leave the way hot key X does.
void LeaveAtEndOfInput() {
    static bool leaving = false;
    if (leaving) EndProgram(0);
    leaving = true;
    ExitScreen();
    EndProgram(0);
}

}  // namespace

void EndProgram(int status) {
    DoneConsole();
    std::exit(status);
}

void PrintUsage() {
    WriteLine("[]  q u i x   m a g a z i n e");
    NewLine();
    WriteLine("  use the following switches if you are having problem with music");
    WriteLine("  or ansi graphics display.");
    NewLine();
    WriteLine("  --help, /h, -h  : this screen... obviously.");
    WriteLine("  --silent        : no music for you :p");
    WriteLine("  --ascii         : no special chars for you, only ascii chars");
    NewLine();
    WriteLine("  the quix board - telnet quix.example.org 2323");
    NewLine();
}

bool ReadCommandLine(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = Lower(argv[i]);
        if (arg == "--ascii") {
            AsciiSuffix = "_asc";
        } else if (arg == "--silent") {
            SilentMode = true;
        } else if (arg == "--help" || arg == "/h" || arg == "-h" || arg == "help") {
            PrintUsage();
            return false;
        }
    }
    return true;
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
    RemoveWorkingFiles();
}

int RunMagazine(int argc, char** argv) {
    InitConsole();
    conapi::SetEndOfInputHandler(LeaveAtEndOfInput);
    conapi::SetCleanupHandler(RemoveWorkingFiles);
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
    if (!SilentMode) LoadSoundLibrary();
    ShowLogo();
    Delay(1000);
    MainMenu();
    ExitScreen();
    DoneConsole();
    return 0;
}
