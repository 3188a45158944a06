// The sound library of the web edition: the five entry points, linked into
// the program (a page has no loadable libraries), as calls into the page's
// player that runs in an AudioWorklet (web/audio.js and web/worklet.js).
//
// The page's side does the browser's part: the audio context, which starts
// only after the reader's first key or tap, and the worklet with its own
// libopenmpt, fetched while the logo is drawn. No call waits for the page:
// a module handed over is queued and plays as soon as the player is up, so
// the first screen never waits for the music. A module file may be the
// note of a module beside the page (issue/site_tracks.h); the page then
// fetches that file.
#include <emscripten.h>

#include <fstream>
#include <iterator>
#include <string_view>
#include <vector>

#include "issue/site_tracks.h"
#include "music/soundlib.h"
#include "sys/sys_web.h"

// clang-format off
EM_JS(int, qm_audio_init, (int silentDevice), { return Module.quixAudio.init(silentDevice !== 0) ? 1 : 0; });
EM_JS(void, qm_audio_free, (), { Module.quixAudio.free(); });
EM_JS(int, qm_audio_load, (const void* data, int size), {
    return Module.quixAudio.load(HEAPU8.slice(data, data + size)) ? 1 : 0;
});
EM_JS(int, qm_audio_fetch, (const char* path), { return Module.quixAudio.fetch(UTF8ToString(path)) ? 1 : 0; });
EM_JS(void, qm_audio_play, (), { Module.quixAudio.play(); });
EM_JS(void, qm_audio_stop, (), { Module.quixAudio.stop(); });
// clang-format on

namespace {

constexpr int32_t SilentDevice = -2;
// Modules are small; anything larger than this is not one.
constexpr std::streamoff MaxModuleBytes = 64 * 1024 * 1024;

bool Initialised = false;

std::vector<char> ReadWhole(const char* fileName) {
    std::ifstream in(fileName, std::ios::binary | std::ios::ate);
    if (!in) return {};
    const std::streamoff size = in.tellg();
    if (size <= 0 || size > MaxModuleBytes) return {};
    std::vector<char> bytes(static_cast<std::size_t>(size));
    in.seekg(0);
    in.read(bytes.data(), size);
    if (!in) return {};
    return bytes;
}

}  // namespace

SOUNDLIB_API bool SoundLib_Init(int32_t device, uint32_t, uint32_t) {
    Initialised = qm_audio_init(device == SilentDevice ? 1 : 0) != 0;
    return Initialised;
}

SOUNDLIB_API void SoundLib_Free() {
    if (Initialised) qm_audio_free();
    Initialised = false;
}

SOUNDLIB_API bool SoundLib_MusicLoad(bool, const char* fileName, uint32_t, uint32_t, uint32_t) {
    if (!Initialised || fileName == nullptr) return false;
    const std::vector<char> bytes = ReadWhole(fileName);
    if (bytes.empty()) return false;
    const std::string beside = issue::TrackNotePath(std::string_view(bytes.data(), bytes.size()));
    if (!beside.empty()) return qm_audio_fetch(beside.c_str()) != 0;
    return qm_audio_load(bytes.data(), static_cast<int>(bytes.size())) != 0;
}

SOUNDLIB_API void SoundLib_MusicPlay() {
    if (Initialised) qm_audio_play();
}

SOUNDLIB_API void SoundLib_MusicFree() {
    if (Initialised) qm_audio_stop();
}

namespace {

// The program finds the entry points by name, as it would in a loaded library.
const bool Registered = [] {
    sys::web::RegisterLinkedEntry("SoundLib_Init", reinterpret_cast<void*>(&SoundLib_Init));
    sys::web::RegisterLinkedEntry("SoundLib_Free", reinterpret_cast<void*>(&SoundLib_Free));
    sys::web::RegisterLinkedEntry("SoundLib_MusicLoad", reinterpret_cast<void*>(&SoundLib_MusicLoad));
    sys::web::RegisterLinkedEntry("SoundLib_MusicPlay", reinterpret_cast<void*>(&SoundLib_MusicPlay));
    sys::web::RegisterLinkedEntry("SoundLib_MusicFree", reinterpret_cast<void*>(&SoundLib_MusicFree));
    return true;
}();

}  // namespace
