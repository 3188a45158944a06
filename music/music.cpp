// Background music: the sound library written out of the executable and
// loaded at run time, the module in play, and hot key P.
//
// Every failure of the library only switches the music off for the run; the
// magazine itself goes on.

#include "music/music.h"

#include <optional>
#include <utility>

#include "console/m_Console.h"
#include "music/soundlib.h"
#include "sys/resources.h"
#include "sys/sys.h"
#include "sys/workfiles.h"

bool SilentMode = false;
bool MusicFailed = false;
bool MusicPlaying = false;
std::string CurrentMusicFile;
std::string SoundLibraryFile;

namespace {

constexpr const char* ModuleFileName = "music.mod";

constexpr int32_t DefaultDevice = -1;
constexpr int32_t FallbackDevice = -2;
constexpr uint32_t OutputRate = 44100;
constexpr uint32_t InitFlags = 0;
constexpr uint32_t MusicLoadFlags = 774;
// The logo clears the screen right after a failure message: keep the
// message up long enough to be read.
constexpr int FailureMessagePause = 1500;

// The loaded sound library with its five entry points. Unloads the library
// when it goes; the library's own state must be freed (SoundLib_Free) before.
class SoundLibrary {
public:
    // Loads FileName and looks up all entry points, in the order of the
    // library's interface. Nothing, and the loader's message in Error, when
    // the file cannot be loaded or lacks an entry point.
    static std::optional<SoundLibrary> Open(const std::string& fileName, std::string& error) {
        SoundLibrary library(sys::OpenLibrary(fileName, error));
        if (library.handle_ == nullptr) return std::nullopt;
        const bool complete = library.Find(library.Init, "SoundLib_Init", error) &&
                              library.Find(library.Free, "SoundLib_Free", error) &&
                              library.Find(library.MusicLoad, "SoundLib_MusicLoad", error) &&
                              library.Find(library.MusicPlay, "SoundLib_MusicPlay", error) &&
                              library.Find(library.MusicFree, "SoundLib_MusicFree", error);
        if (!complete) return std::nullopt;  // the library is unloaded on the way out
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
    explicit SoundLibrary(void* handle) : handle_(handle) {}

    template <typename Fn>
    bool Find(Fn& entry, const char* name, std::string& error) {
        entry = reinterpret_cast<Fn>(sys::LibrarySymbol(handle_, name, error));
        return entry != nullptr;
    }

    void Unload() {
        if (handle_ != nullptr) sys::CloseLibrary(std::exchange(handle_, nullptr));
    }

    void* handle_ = nullptr;
};

// Present from a successful start-up until the music is released.
std::optional<SoundLibrary> Library;

bool MusicUsable() { return !SilentMode && !MusicFailed && Library.has_value(); }

// Writes a resource into the working folder; a file that cannot be written
// ends the program, as every extraction does.
void ExtractOrEnd(const std::string& name, const std::string& fileName) {
    std::string error;
    if (!TryExtractResource(name, fileName, error)) FatalError(error);
}

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

}  // namespace

void LoadSoundLibrary(const std::string& FirstTrack) {
    if (Library) UnloadLibrary();
    SoundLibraryFile = WorkFile(sys::LibraryFileName("soundlib"));
    ExtractOrEnd("soundlib", SoundLibraryFile);

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
    PlayTrack(FirstTrack);
}

void PlayTrack(const std::string& Name) {
    if (!MusicUsable()) return;
    const std::string moduleFile = WorkFile(ModuleFileName);
    ExtractOrEnd(Name, moduleFile);
    CurrentMusicFile = moduleFile;
    MusicPlaying = false;
    Library->MusicFree();
    StartCurrentModule();
}

void ToggleMusic() {
    if (!MusicUsable()) return;
    if (MusicPlaying) {
        MusicPlaying = false;
        Library->MusicFree();
        return;
    }
    // Stopping freed the module: start the file again from its beginning.
    StartCurrentModule();
}

void ReleaseMusic() {
    if (Library) UnloadLibrary();
}
