// Background music: the sound library written out of the executable and
// loaded at run time, the module in play, and hot key P.
//
// Every failure of the library, and every file of the music's own that cannot
// be written (the library, a module), only switches the music off for the
// run; the magazine itself goes on, since its screens and texts are drawn
// from memory.

#include "music/music.h"

#include <optional>
#include <utility>

#include "console/m_Console.h"
#include "issue/issue.h"
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

}  // namespace

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


Music::Music() = default;
Music::~Music() = default;
Music::Music(Music&&) noexcept = default;
Music& Music::operator=(Music&&) noexcept = default;

bool Music::Usable() const { return !SilentMode && !MusicFailed && library_ != nullptr; }

// Loads the current module file anew and starts it; the music stays off
// when the library refuses the file.
void Music::StartCurrentModule() {
    if (library_->MusicLoad(false, CurrentMusicFile.c_str(), 0, 0, MusicLoadFlags)) {
        library_->MusicPlay();
        MusicPlaying = true;
    }
}

// Frees the library's state and unloads it.
void Music::UnloadLibrary() {
    MusicPlaying = false;
    library_->MusicFree();
    library_->Free();
    library_.reset();
}

// The music is off for the run: the library, if loaded, is released, and
// Reason is kept for the track menu.
void Music::SwitchOff(const std::string& reason) {
    if (library_) UnloadLibrary();
    MusicFailed = true;
    MusicPlaying = false;
    offReason_ = reason;
}

// A library that cannot be written or loaded: the start-up screen says so,
// with the reason on the next line.
void Music::FailLoading(const std::string& reason) {
    WriteLine("Error loading DLL");
    WriteLine(Cut255(reason));
    SwitchOff("Error loading DLL: " + reason);
    Delay(FailureMessagePause);
}

// Writes the module Name of Issue into the working folder and starts it.
// A module file that cannot be written (a full disk, a folder gone)
// switches the music off; the reason is then in Error.
bool Music::StartTrack(const issue::Issue& issue, const std::string& name, std::string& error) {
    const std::string moduleFile = WorkFile(issue.WorkPrefix + ModuleFileName);
    if (!issue::TryWriteIssueFile(issue, name, moduleFile, error)) {
        SwitchOff(error);
        return false;
    }
    CurrentMusicFile = moduleFile;
    MusicPlaying = false;
    library_->MusicFree();
    StartCurrentModule();
    return true;
}

void Music::LoadSoundLibrary(const issue::Issue& Issue, const std::string& FirstTrack) {
    if (library_) UnloadLibrary();
    offReason_.clear();
    SoundLibraryFile = WorkFile(sys::LibraryFileName("soundlib"));
    std::string error;
    if (!TryExtractResource("soundlib", SoundLibraryFile, error)) {
        FailLoading(error);
        return;
    }

    std::optional<SoundLibrary> opened = SoundLibrary::Open(SoundLibraryFile, error);
    if (!opened) {
        FailLoading(error);
        return;
    }
    library_ = std::make_unique<SoundLibrary>(std::move(*opened));

    if (!library_->Init(DefaultDevice, OutputRate, InitFlags)) {
        library_->Init(FallbackDevice, OutputRate, InitFlags);  // result not needed: freed below
        WriteLine("Init failed");
        SwitchOff("Init failed");
        Delay(FailureMessagePause);
        return;
    }

    if (MusicFailed) {  // switched off before the library was up
        UnloadLibrary();
        return;
    }
    // The first module is written at start too: its failure is said on the
    // start-up screen like the library's.
    if (!StartTrack(Issue, FirstTrack, error)) {
        WriteLine(Cut255(error));
        Delay(FailureMessagePause);
    }
}

void Music::SoundLibraryUnwritable(const std::string& Reason) { FailLoading(Reason); }

void Music::PlayTrack(const issue::Issue& Issue, const std::string& Name) {
    if (!Usable()) return;
    std::string error;
    StartTrack(Issue, Name, error);  // a failure switches the music off; the track menu says why
}

void Music::ToggleMusic() {
    if (!Usable()) return;
    if (MusicPlaying) {
        MusicPlaying = false;
        library_->MusicFree();
        return;
    }
    // Stopping freed the module: start the file again from its beginning.
    StartCurrentModule();
}

void Music::ReleaseMusic() {
    if (library_) UnloadLibrary();
}
