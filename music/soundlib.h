// Entry points of the sound library (a shared library of its own, loaded at
// run time). C linkage so that they can be looked up by name.
#pragma once

#include <cstdint>

#ifdef _WIN32
#define SOUNDLIB_API extern "C" __declspec(dllexport)
#define SOUNDLIB_CALL __stdcall
#else
#define SOUNDLIB_API extern "C" __attribute__((visibility("default")))
#define SOUNDLIB_CALL
#endif

// Opens the audio output. Device -1 is the default device; -2 asks for no
// real output. Rate in Hz. True when sound output is ready.
SOUNDLIB_API bool SOUNDLIB_CALL SoundLib_Init(int32_t device, uint32_t rate, uint32_t flags);
// Stops everything and closes the audio output.
SOUNDLIB_API void SOUNDLIB_CALL SoundLib_Free();
// Loads a module file (MOD, XM, S3M, IT). FromMemory is always false;
// Offset, Length and Flags are accepted and ignored. True when loaded.
SOUNDLIB_API bool SOUNDLIB_CALL SoundLib_MusicLoad(bool fromMemory, const char* fileName, uint32_t offset,
                                                   uint32_t length, uint32_t flags);
// Starts playing the loaded module in the background, looping.
SOUNDLIB_API void SOUNDLIB_CALL SoundLib_MusicPlay();
// Stops and frees the loaded module; harmless when none is loaded.
SOUNDLIB_API void SOUNDLIB_CALL SoundLib_MusicFree();

// Pointer types used by the loader.
using SoundLibInitFn = bool(SOUNDLIB_CALL*)(int32_t, uint32_t, uint32_t);
using SoundLibFreeFn = void(SOUNDLIB_CALL*)();
using SoundLibMusicLoadFn = bool(SOUNDLIB_CALL*)(bool, const char*, uint32_t, uint32_t, uint32_t);
using SoundLibMusicPlayFn = void(SOUNDLIB_CALL*)();
using SoundLibMusicFreeFn = void(SOUNDLIB_CALL*)();
