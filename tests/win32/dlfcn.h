// Loading a shared library by path on Windows, for the sound tests.
#pragma once
#include <windows.h>

#include <string>

#define RTLD_NOW 2
#define RTLD_LOCAL 0

inline std::string& DlLastError() {
    static std::string text;
    return text;
}

inline void* dlopen(const char* path, int) {
    HMODULE module = LoadLibraryA(path);
    if (module == nullptr) DlLastError() = std::string("cannot load ") + path;
    return reinterpret_cast<void*>(module);
}

inline void* dlsym(void* handle, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
}

inline int dlclose(void* handle) { return FreeLibrary(static_cast<HMODULE>(handle)) ? 0 : -1; }

inline const char* dlerror() { return DlLastError().empty() ? nullptr : DlLastError().c_str(); }
