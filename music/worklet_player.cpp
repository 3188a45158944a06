// The module player inside the web edition's audio worklet: libopenmpt
// compiled to a WebAssembly module of its own, with a handful of C entry
// points that the worklet's script (web/worklet.js) calls. It renders float
// stereo at the worklet's rate into two buffers the script hands over.
//
// The worklet has no file system and no console: modules come as bytes, and
// libopenmpt's messages go to silent sinks.
#include <libopenmpt/libopenmpt.h>

#include <cstddef>
#include <cstdlib>

#define PLAYER_EXPORT extern "C" __attribute__((used, visibility("default")))

namespace {

openmpt_module* Playing = nullptr;

void SilentLog(const char*, void*) {}
int SilentError(int, void*) { return OPENMPT_ERROR_FUNC_RESULT_NONE; }

}  // namespace

PLAYER_EXPORT void* player_alloc(std::size_t bytes) { return std::malloc(bytes); }

PLAYER_EXPORT void player_release(void* block) { std::free(block); }

// Frees the module in play, if any.
PLAYER_EXPORT void player_unload() {
    if (Playing != nullptr) openmpt_module_destroy(Playing);
    Playing = nullptr;
}

// Replaces the module in play with the one in Data; 1 when it loaded. A
// refused module leaves the one in play as it was.
PLAYER_EXPORT int player_load(const void* data, std::size_t size) {
    int error = 0;
    openmpt_module* mod = openmpt_module_create_from_memory2(data, size, &SilentLog, nullptr, &SilentError, nullptr,
                                                             &error, nullptr, nullptr);
    if (mod == nullptr) return 0;
    openmpt_module_set_repeat_count(mod, -1);  // loop for ever, as the native library does
    player_unload();
    Playing = mod;
    return 1;
}

// Renders up to Frames frames at Rate Hz into Left and Right; answers the
// frames written (0 with no module, and the rest of the buffers untouched).
PLAYER_EXPORT int player_render(int rate, int frames, float* left, float* right) {
    if (Playing == nullptr) return 0;
    return static_cast<int>(
        openmpt_module_read_float_stereo(Playing, rate, static_cast<std::size_t>(frames), left, right));
}
