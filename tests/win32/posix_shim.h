// The few POSIX calls the tests use, on Windows (MinGW-w64). Only the tests
// of the Windows build include this (forced, before anything else): the
// program itself never needs it.
#pragma once

#ifdef _WIN32
#include <direct.h>
#include <io.h>
#include <process.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

// The tests name their temporary folder TMPDIR; Windows takes it from TMP,
// which is given back as it was when TMPDIR goes.
inline const char* OriginalTmp() {
    static const char* const original = [] {
        const char* tmp = getenv("TMP");
        return tmp ? _strdup(tmp) : nullptr;
    }();
    return original;
}

inline int setenv(const char* name, const char* value, int overwrite) {
    if (!overwrite && getenv(name) != nullptr) return 0;
    if (strcmp(name, "TMPDIR") == 0 && (OriginalTmp(), _putenv_s("TMP", value) != 0)) return -1;
    return _putenv_s(name, value) == 0 ? 0 : -1;
}

inline int unsetenv(const char* name) {
    if (strcmp(name, "TMPDIR") == 0) _putenv_s("TMP", OriginalTmp() ? OriginalTmp() : "");
    return _putenv_s(name, "") == 0 ? 0 : -1;
}

// Replaces the trailing XXXXXX of Pattern and creates that folder.
inline char* mkdtemp(char* pattern) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const size_t length = strlen(pattern);
        if (length < 6) return nullptr;
        static unsigned counter = 0;
        unsigned value = static_cast<unsigned>(_getpid()) * 7919u + (++counter) * 104729u;
        for (size_t i = length - 6; i < length; ++i) {
            pattern[i] = "abcdefghijklmnopqrstuvwxyz0123456789"[value % 36];
            value /= 36;
        }
        if (_mkdir(pattern) == 0) return pattern;
    }
    return nullptr;
}

// A backstop against hanging tests on POSIX; the test runner's own time-out
// does that job here.
inline unsigned alarm(unsigned) { return 0; }
#endif
