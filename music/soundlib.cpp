// The sound library: decodes tracker modules with libopenmpt and plays them
// through SDL2's audio subsystem, on SDL's own audio thread.
//
// The magazine loads this library at run time and calls its five entry
// points from its one thread. Playback runs in SDL's audio callback; the
// module is only touched there and under SDL_LockAudioDevice, so the callback
// never sees a module that is being replaced or freed.
//
// The program shares the terminal with this library: nothing that SDL, ALSA
// or libopenmpt would print may reach it. Each of them gets a silent message
// sink, and standard error is pointed at /dev/null while SDL opens and closes
// audio back-ends (some of them print straight to file descriptor 2).

#include "music/soundlib.h"

#include <SDL.h>
#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <vector>

#ifndef _WIN32
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

constexpr int ChannelCount = 2;
constexpr uint32_t DefaultRate = 44100;
constexpr uint32_t MinRate = 8000;
constexpr uint32_t MaxRate = 192000;
// About 23 ms at 44100 Hz: short enough that stopping is heard at once.
constexpr Uint16 BufferFrames = 1024;
// Modules are small; anything larger than this is not one.
constexpr std::streamoff MaxModuleBytes = 64 * 1024 * 1024;
// Device -2 asks for no real output: SDL's silent driver.
constexpr int32_t SilentDevice = -2;
constexpr const char* SilentDriver = "dummy";

// --- Keeping other libraries quiet -------------------------------------------

void SilentOpenmptLog(const char*, void*) {}

int SilentOpenmptError(int, void*) { return OPENMPT_ERROR_FUNC_RESULT_NONE; }

void SilentSdlLog(void*, int, SDL_LogPriority, const char*) {}

// Points file descriptor 2 at /dev/null for its lifetime. Some audio
// back-ends (ALSA's configuration parser, JACK, PulseAudio's client) write
// to standard error directly while a device is being probed.
class QuietStderr {
public:
    QuietStderr() {
#ifndef _WIN32
        std::fflush(stderr);
        saved_ = ::dup(STDERR_FILENO);
        const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (saved_ >= 0 && null >= 0) ::dup2(null, STDERR_FILENO);
        if (null >= 0) ::close(null);
#endif
    }
    ~QuietStderr() {
#ifndef _WIN32
        std::fflush(stderr);
        if (saved_ >= 0) {
            ::dup2(saved_, STDERR_FILENO);
            ::close(saved_);
        }
#endif
    }
    QuietStderr(const QuietStderr&) = delete;
    QuietStderr& operator=(const QuietStderr&) = delete;

private:
    int saved_ = -1;
};

#ifndef _WIN32
// ALSA reports errors (also from the audio thread, e.g. after an underrun)
// through a handler that prints to standard error by default. It is replaced
// by a silent one for as long as the library is initialised. libasound is
// reached through dlopen because SDL loads it the same way: it may be absent.
extern "C" void SilentAlsaError(const char*, int, const char*, int, const char*, ...) {}

class AlsaSilencer {
public:
    using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
    using SetHandlerFn = int (*)(Handler);
    using FreeConfigFn = int (*)();

    AlsaSilencer() {
        handle_ = ::dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
        if (handle_ == nullptr) return;
        setHandler_ = reinterpret_cast<SetHandlerFn>(::dlsym(handle_, "snd_lib_error_set_handler"));
        if (setHandler_ != nullptr) setHandler_(&SilentAlsaError);
    }
    // Runs after SDL has closed its ALSA device.
    ~AlsaSilencer() {
        if (handle_ == nullptr) return;
        // The handler lives in this library, which may be unloaded next.
        if (setHandler_ != nullptr) setHandler_(nullptr);
        // ALSA keeps the parsed configuration in a global cache that nothing
        // else frees; without this every Init/Free cycle leaks it.
        auto freeConfig = reinterpret_cast<FreeConfigFn>(::dlsym(handle_, "snd_config_update_free_global"));
        if (freeConfig != nullptr) freeConfig();
        ::dlclose(handle_);
    }
    AlsaSilencer(const AlsaSilencer&) = delete;
    AlsaSilencer& operator=(const AlsaSilencer&) = delete;

private:
    void* handle_ = nullptr;
    SetHandlerFn setHandler_ = nullptr;
};
#else
class AlsaSilencer {};
#endif

// --- The player ----------------------------------------------------------------

struct ModuleDeleter {
    void operator()(openmpt_module* mod) const { openmpt_module_destroy(mod); }
};
using ModulePtr = std::unique_ptr<openmpt_module, ModuleDeleter>;

// Reads a whole file; empty when it cannot be read or is implausibly large.
std::vector<char> ReadFileBytes(const char* fileName) {
    std::ifstream in(fileName, std::ios::binary | std::ios::ate);
    if (!in) return {};
    const std::streamoff size = in.tellg();
    if (size <= 0 || size > MaxModuleBytes) return {};
    std::vector<char> bytes(static_cast<std::size_t>(size));
    in.seekg(0);
    if (!in.read(bytes.data(), size)) return {};
    return bytes;
}

ModulePtr DecodeModule(const std::vector<char>& bytes) {
    ModulePtr mod(openmpt_module_create_from_memory2(bytes.data(), bytes.size(), &SilentOpenmptLog, nullptr,
                                                     &SilentOpenmptError, nullptr, nullptr, nullptr, nullptr));
    if (mod) openmpt_module_set_repeat_count(mod.get(), -1);  // loop for ever
    return mod;
}

class Player {
public:
    Player() = default;
    ~Player() { Shutdown(); }
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    bool Init(int32_t device, uint32_t rate) {
        Shutdown();  // a second Init starts afresh
        rate_ = rate == 0 ? DefaultRate : std::clamp(rate, MinRate, MaxRate);
        alsa_ = std::make_unique<AlsaSilencer>();
        SDL_LogSetOutputFunction(&SilentSdlLog, nullptr);
        SDL_SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, "quixmag");

        QuietStderr quiet;
        if (device == SilentDevice) SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, SilentDriver, SDL_HINT_OVERRIDE);
        const bool sdlReady = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
        if (device == SilentDevice) SDL_ResetHint(SDL_HINT_AUDIODRIVER);
        if (!sdlReady) {
            ShutdownQuietly();
            return false;
        }
        sdlAudio_ = true;
        device_ = OpenDevice(device);
        if (device_ == 0) {
            ShutdownQuietly();
            return false;
        }
        return true;
    }

    void Shutdown() {
        if (!sdlAudio_ && !alsa_) return;
        QuietStderr quiet;
        ShutdownQuietly();
    }

    bool Load(const char* fileName) {
        if (device_ == 0 || fileName == nullptr) return false;
        const std::vector<char> bytes = ReadFileBytes(fileName);
        if (bytes.empty()) return false;
        ModulePtr mod = DecodeModule(bytes);
        if (!mod) return false;
        ModulePtr old;
        SDL_PauseAudioDevice(device_, 1);
        SDL_LockAudioDevice(device_);
        old.swap(module_);
        module_.swap(mod);
        SDL_UnlockAudioDevice(device_);
        return true;  // old module is destroyed here, outside the lock
    }

    void Play() {
        if (device_ == 0) return;
        SDL_LockAudioDevice(device_);
        const bool loaded = module_ != nullptr;
        SDL_UnlockAudioDevice(device_);
        if (loaded) SDL_PauseAudioDevice(device_, 0);
    }

    void FreeModule() {
        if (device_ == 0) return;
        ModulePtr old;
        SDL_PauseAudioDevice(device_, 1);
        SDL_LockAudioDevice(device_);
        old.swap(module_);
        SDL_UnlockAudioDevice(device_);
    }

private:
    // Device -1 and -2: the driver's default output. 0 and up: that output
    // device in SDL's list.
    SDL_AudioDeviceID OpenDevice(int32_t device) {
        const char* name = nullptr;
        if (device >= 0) {
            if (device >= SDL_GetNumAudioDevices(0)) return 0;
            name = SDL_GetAudioDeviceName(device, 0);
        }
        SDL_AudioSpec want{};
        want.freq = static_cast<int>(rate_);
        want.format = AUDIO_F32SYS;
        want.channels = ChannelCount;
        want.samples = BufferFrames;
        want.callback = &Player::Callback;
        want.userdata = this;
        SDL_AudioSpec have{};
        // No changes allowed: SDL converts whatever the hardware wants from
        // float stereo at the requested rate, so rendering stays simple.
        return SDL_OpenAudioDevice(name, 0, &want, &have, 0);
    }

    void ShutdownQuietly() {
        if (device_ != 0) {
            SDL_CloseAudioDevice(device_);  // stops and joins the audio thread
            device_ = 0;
        }
        module_.reset();
        if (sdlAudio_) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            sdlAudio_ = false;
        }
        // SDL belongs to this library alone; SDL_Quit also frees the hints
        // set in Init, which quitting the subsystem keeps.
        if (SDL_WasInit(SDL_INIT_EVERYTHING) == 0) SDL_Quit();
        alsa_.reset();
    }

    // SDL's audio thread, with the device lock held.
    static void SDLCALL Callback(void* userdata, Uint8* stream, int len) {
        static_cast<Player*>(userdata)->Render(reinterpret_cast<float*>(stream),
                                               static_cast<std::size_t>(len) / (sizeof(float) * ChannelCount));
    }

    void Render(float* out, std::size_t frames) {
        std::size_t done = 0;
        if (module_) {
            while (done < frames) {
                const std::size_t got = openmpt_module_read_interleaved_float_stereo(
                    module_.get(), static_cast<int32_t>(rate_), frames - done, out + done * ChannelCount);
                if (got == 0) break;
                done += got;
            }
        }
        std::fill(out + done * ChannelCount, out + frames * ChannelCount, 0.0f);
    }

    uint32_t rate_ = DefaultRate;
    bool sdlAudio_ = false;
    SDL_AudioDeviceID device_ = 0;
    ModulePtr module_;
    std::unique_ptr<AlsaSilencer> alsa_;
};

Player& ThePlayer() {
    static Player player;
    return player;
}

}  // namespace

SOUNDLIB_API bool SOUNDLIB_CALL SoundLib_Init(int32_t device, uint32_t rate, uint32_t /*flags*/) {
    return ThePlayer().Init(device, rate);
}

SOUNDLIB_API void SOUNDLIB_CALL SoundLib_Free() { ThePlayer().Shutdown(); }

// Only files are loaded (the program never hands over memory); Offset,
// Length and Flags carry nothing for this player.
SOUNDLIB_API bool SOUNDLIB_CALL SoundLib_MusicLoad(bool fromMemory, const char* fileName, uint32_t /*offset*/,
                                                   uint32_t /*length*/, uint32_t /*flags*/) {
    if (fromMemory) return false;
    return ThePlayer().Load(fileName);
}

SOUNDLIB_API void SOUNDLIB_CALL SoundLib_MusicPlay() { ThePlayer().Play(); }

SOUNDLIB_API void SOUNDLIB_CALL SoundLib_MusicFree() { ThePlayer().FreeModule(); }
