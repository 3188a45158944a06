// Background music: the sound library written out of the executable and
// loaded at run time, the module in play, hot key P, and the track menu.
//
// Every failure of the library only switches the music off for the run; the
// magazine itself goes on.

#include "music.h"

#include <optional>
#include <utility>

#include "../ansi/ansi_renderer.h"
#include "../app/issue.h"
#include "../app/program.h"
#include "../app/resources.h"
#include "../app/workfiles.h"
#include "../console/m_Console.h"
#include "../widgets/lightbar.h"
#include "soundlib.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

// The frame is block art in the reds of the magazine, its title on the first
// row; the menu sits in its plain red field from column 6, row 2.
const std::array<std::string, 10> TrackFrameRows = {
    "|04\xDB\xDB|12|20\xDB\xDB\xDB\xB2\xB1\xB0|00  |12Tracks...|00                     "
    "|04\xDC\xDC\xDB\xDC|15\xB0|04     |12\xB2\xDF|04|16\xDB|07 \xB0|04 |07 ",

    "|04\xB2\xDB|12|20\xDB|04|16\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB"
    "|20\xDB\xDB\xDC\xDB\xDC\xDC\xDC\xDC\xDC\xDC\xDC\xDC\xDC  \xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB"
    "|00 |04\xDB\xDB\xDB\xDB |12\xB2|04|16\xDB\xDB|07 \xB2\xB0",

    "|04\xB2\xDB|12|20\xDB|04|16\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB|00|20         "
    "|04\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB"
    "|00 |04\xDB\xDB\xDB\xDB\xDC|12\xB0|04|16\xDB\xDB|07 \xDB\xB2",

    "|04\xB1\xDB\xDB\xDB\xDB|00|20                                              "
    "|04|16\xDB\xDB|07 \xDF\xDB",

    "|04\xB0\xDB\xDB\xDB\xDB\xDB|00|20                            "
    "|04|16\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDF"
    "|07 \xDB|15|23\xB0|16\xB0",

    "|04\xB0\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB"
    "\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB"
    "|00|20 |04|16\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB"
    "|12|20\xDB|04|16\xDB|07 \xDB\xDB\xDB",

    "|12 |00|20                                  "
    "|04|16\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB"
    "|12|20\xB0\xB1\xB2\xDB\xDF|04|16\xDB|07 \xDB\xDB",

    "|12 |00|20             "
    "|04|16\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB"
    "\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDB\xDF\xDF\xDF\xDF"
    "|07 \xDC\xDB\xDB",

    "|04 |07\xDC\xDC\xDC\xDC|15\xDC|07\xDC\xDC\xDC\xDC|15\xDC\xDC|07\xDC\xDC|15\xDC"
    "|07\xDC\xDC\xDC\xDC\xDC\xDC\xDC\xDC\xDC\xDC\xDC\xDC\xDC\xDC\xDC\xDC\xDC"
    "\xDC\xDC\xDC\xDC\xDC\xDC\xDC\xDC\xDC\xDC\xDC\xDC\xDC\xDC\xDC\xDC"
    "\xDB\xDB\xDB\xDB\xDF\xDF ",

    "\xDF\xDF\xDF\xDF\xDF\xDF\xDF\xDF|15\xDF\xDF|07\xDF\xDF\xDF|15\xDF"
    "|07\xDF\xDF\xDF\xDF\xDF\xDF\xDF\xDF\xDF\xDF\xDF\xDF\xDF\xDF\xDF\xDF\xDF"
    "\xDF\xDF\xDF\xDF\xDF\xDF\xDF\xDF\xDF\xDF\xDF\xDF\xDF\xDF\xDF\xDF\xDF",
};

namespace {

#ifdef _WIN32
constexpr const char* LibraryFileName = "soundlib.dll";
#else
constexpr const char* LibraryFileName = "soundlib.so";
#endif
constexpr const char* ModuleFileName = "music.mod";

constexpr int32_t DefaultDevice = -1;
constexpr int32_t FallbackDevice = -2;
constexpr uint32_t OutputRate = 44100;
constexpr uint32_t InitFlags = 0;
constexpr uint32_t MusicLoadFlags = 774;
// The logo clears the screen right after a failure message: keep the
// message up long enough to be read.
constexpr int FailureMessagePause = 1500;

const std::string CloseLabel = "[ c l o s e ]";

// --- The platform's dynamic loader ----------------------------------------------

#ifdef _WIN32
using LibraryHandle = HMODULE;

LibraryHandle OpenLibraryFile(const std::string& fileName) {
    const int length = MultiByteToWideChar(CP_ACP, 0, fileName.c_str(), -1, nullptr, 0);
    if (length <= 0)
        return nullptr;
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, fileName.c_str(), -1, wide.data(), length);
    return LoadLibraryW(wide.c_str());
}

void* LibrarySymbol(LibraryHandle handle, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(handle, name));
}

void CloseLibrary(LibraryHandle handle) { FreeLibrary(handle); }

// The system's text for the last error, in the user's language.
std::string LoaderError() {
    char text[MaxText + 1] = {};
    const DWORD length =
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, GetLastError(),
                       MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text, sizeof text, nullptr);
    std::string message(text, length);
    while (!message.empty() && (message.back() == '\r' || message.back() == '\n'))
        message.pop_back();
    return message;
}
#else
using LibraryHandle = void*;

LibraryHandle OpenLibraryFile(const std::string& fileName) {
    // A name without a slash would be searched for in the system's library
    // folders instead of the program's own.
    const std::string path = fileName.find('/') == std::string::npos ? "./" + fileName : fileName;
    return ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* LibrarySymbol(LibraryHandle handle, const char* name) {
    ::dlerror();  // so that the text below belongs to this lookup
    return ::dlsym(handle, name);
}

void CloseLibrary(LibraryHandle handle) { ::dlclose(handle); }

std::string LoaderError() {
    const char* text = ::dlerror();
    return text != nullptr ? text : "unknown error";
}
#endif

// The loaded sound library with its five entry points. Unloads the library
// when it goes; the library's own state must be freed (SoundLib_Free) before.
class SoundLibrary {
public:
    // Loads FileName and looks up all entry points, in the order of the
    // library's interface. Nothing, and the loader's message in Error, when
    // the file cannot be loaded or lacks an entry point.
    static std::optional<SoundLibrary> Open(const std::string& fileName, std::string& error) {
        SoundLibrary library(OpenLibraryFile(fileName));
        if (library.handle_ == nullptr) {
            error = LoaderError();
            return std::nullopt;
        }
        const bool complete = library.Find(library.Init, "SoundLib_Init") &&
                              library.Find(library.Free, "SoundLib_Free") &&
                              library.Find(library.MusicLoad, "SoundLib_MusicLoad") &&
                              library.Find(library.MusicPlay, "SoundLib_MusicPlay") &&
                              library.Find(library.MusicFree, "SoundLib_MusicFree");
        if (!complete) {
            error = LoaderError();
            return std::nullopt;  // the library is unloaded on the way out
        }
        return library;
    }

    SoundLibrary(SoundLibrary&& other) noexcept { *this = std::move(other); }
    SoundLibrary& operator=(SoundLibrary&& other) noexcept {
        if (this != &other) {
            Unload();
            handle_ = std::exchange(other.handle_, nullptr);
            Init = other.Init;
            Free = other.Free;
            MusicLoad = other.MusicLoad;
            MusicPlay = other.MusicPlay;
            MusicFree = other.MusicFree;
        }
        return *this;
    }
    SoundLibrary(const SoundLibrary&) = delete;
    SoundLibrary& operator=(const SoundLibrary&) = delete;
    ~SoundLibrary() { Unload(); }

    SoundLibInitFn Init = nullptr;
    SoundLibFreeFn Free = nullptr;
    SoundLibMusicLoadFn MusicLoad = nullptr;
    SoundLibMusicPlayFn MusicPlay = nullptr;
    SoundLibMusicFreeFn MusicFree = nullptr;

private:
    explicit SoundLibrary(LibraryHandle handle) : handle_(handle) {}

    template <typename Fn>
    bool Find(Fn& entry, const char* name) {
        entry = reinterpret_cast<Fn>(LibrarySymbol(handle_, name));
        return entry != nullptr;
    }

    void Unload() {
        if (handle_ != nullptr)
            CloseLibrary(std::exchange(handle_, nullptr));
    }

    LibraryHandle handle_ = nullptr;
};

// Present from a successful start-up until the music is released.
std::optional<SoundLibrary> Library;

bool MusicUsable() { return !SilentMode && !MusicFailed && Library.has_value(); }

// Loads the current module file anew and starts it; the music stays off
// when the library refuses the file.
void StartCurrentModule() {
    if (Library->MusicLoad(false, CurrentMusicFile.c_str(), 0, 0, MusicLoadFlags)) {
        Library->MusicPlay();
        MusicPlaying = true;
    }
}

// Frees the library's state and unloads it.
void UnloadLibrary() {
    MusicPlaying = false;
    Library->MusicFree();
    Library->Free();
    Library.reset();
}

// Keeps the global hot keys T, M and H shut while the track menu is up,
// also when the menu is left by an exception.
class TrackMenuFlag {
public:
    TrackMenuFlag() { TrackMenuOpen = true; }
    ~TrackMenuFlag() { TrackMenuOpen = false; }
    TrackMenuFlag(const TrackMenuFlag&) = delete;
    TrackMenuFlag& operator=(const TrackMenuFlag&) = delete;
};

void RunTrackChoices() {
    TBar bar;
    // The tracks, then "[ c l o s e ]".
    for (const TrackEntry& track : TrackEntries)
        bar.Add(track.Label);
    bar.Add(CloseLabel);
    bar.SelectedColour = "|14|20";
    bar.NormalColour = "|12|20";
    bar.AnimLowerAttr = 78;  // yellow on red
    bar.AnimUpperAttr = 78;
    bar.OnKey = GlobalHotKey;
    bar.IsHotKey = IsGlobalHotKey;

    const int32_t closeEntry = static_cast<int32_t>(TrackEntries.size());
    int32_t entry = 0;
    for (;;) {
        // Esc, Left and Right leave negative codes: start over at the top.
        if (entry < 0 || entry > closeEntry + 1)
            entry = 0;
        entry = bar.Run(6, 2, 35, 6, entry);
        if (entry == closeEntry)
            return;
        if (entry >= 0 && entry < closeEntry)
            PlayTrack(TrackEntries[static_cast<std::size_t>(entry)].Module);
    }
}

}  // namespace

void DrawTrackFrame() {
    for (std::size_t row = 0; row < TrackFrameRows.size(); ++row) {
        WriteXYPipe(1, static_cast<int>(row) + 1, 7, TrackFrameRows[row]);
        Delay(10);
    }
}

void LoadSoundLibrary() {
    if (Library)
        UnloadLibrary();
    SoundLibraryFile = WorkFile(LibraryFileName);
    ExtractResource("soundlib", SoundLibraryFile);

    std::string error;
    Library = SoundLibrary::Open(SoundLibraryFile, error);
    if (!Library) {
        WriteLine("Error loading DLL");
        WriteLine(Cut255(error));
        MusicFailed = true;
        Delay(FailureMessagePause);
        return;
    }

    if (!Library->Init(DefaultDevice, OutputRate, InitFlags)) {
        Library->Init(FallbackDevice, OutputRate, InitFlags);  // result not needed: freed below
        WriteLine("Init failed");
        MusicFailed = true;
    }

    if (MusicFailed) {
        UnloadLibrary();
        Delay(FailureMessagePause);
        return;
    }
    // The manifest always names at least one track.
    PlayTrack(TrackEntries.front().Module);
}

void PlayTrack(const std::string& Name) {
    if (!MusicUsable())
        return;
    const std::string moduleFile = WorkFile(ModuleFileName);
    ExtractResource(Name, moduleFile);
    CurrentMusicFile = moduleFile;
    MusicPlaying = false;
    Library->MusicFree();
    StartCurrentModule();
}

void ToggleMusic() {
    if (!MusicUsable())
        return;
    if (MusicPlaying) {
        MusicPlaying = false;
        Library->MusicFree();
        return;
    }
    // Stopping freed the module: start the file again from its beginning.
    StartCurrentModule();
}

void TrackMenu() {
    {
        TrackMenuFlag open;
        DrawTrackFrame();
        RunTrackChoices();
    }
    SetTextColor(7);
    ClearScreen();
    ShowAnsiFile(CurrentScreenFile, 10000);
}

void ReleaseMusic() {
    if (Library)
        UnloadLibrary();
}
