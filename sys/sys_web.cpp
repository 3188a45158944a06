// sys.h in a browser page (Emscripten): files live in the page's memory
// file system and go with the page; the reader's saves become downloads;
// the sound library is linked into the program.
//
// Files are the POSIX calls that Emscripten gives on its memory file system.
// A save (a file created for the reader, Access::Shared) is written there
// whole, as everywhere, and when it is renamed onto its target its bytes are
// handed to the page as a download under the target's name, and the file is
// removed: nothing is stored anywhere else.
#include <emscripten.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <set>
#include <string_view>
#include <system_error>

#include "sys/sys.h"
#include "sys/sys_web.h"

// clang-format off
EM_JS(void, qm_download, (const char* name, const void* data, int size), {
    Module.quixPage.download(UTF8ToString(name), HEAPU8.slice(data, data + size));
});

// Resolves once the page has written the file or given up; a reason that
// it did not come goes to Error (at most Size bytes with the NUL).
EM_ASYNC_JS(int, qm_fetch_file, (const char* name, const char* path, const char* what, char* error, int size), {
    const reason = await Module.quixPage.fetchFile(UTF8ToString(name), UTF8ToString(path), UTF8ToString(what));
    stringToUTF8(reason, error, size);
    return reason ? 0 : 1;
    // clang-format on
});

namespace sys {

const char PathSeparator = '/';

namespace {

std::string SystemError() { return std::strerror(errno); }

int Descriptor(const File& file) { return static_cast<int>(file.Handle()); }

// The saves being written: their files are downloads once renamed.
std::set<std::string>& PendingSaves() {
    static std::set<std::string> saves;
    return saves;
}

struct LinkedEntry {
    const char* name = nullptr;
    void* entry = nullptr;
};

// The sound library's five entry points, and room to spare.
std::array<LinkedEntry, 8>& LinkedEntries() {
    static std::array<LinkedEntry, 8> entries{};
    return entries;
}

// What OpenLibrary hands out: the program itself holds the library.
int LinkedLibrary = 0;

std::string BaseName(const std::string& path) {
    const std::size_t cut = path.find_last_of('/');
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

}  // namespace

namespace web {

void RegisterLinkedEntry(const char* name, void* entry) {
    for (LinkedEntry& slot : LinkedEntries()) {
        if (slot.name == nullptr || std::string_view(slot.name) == name) {
            slot = LinkedEntry{name, entry};
            return;
        }
    }
}

bool FetchSiteFile(const std::string& name, const std::string& path, const std::string& what, std::string& error) {
    std::array<char, 256> reason{};
    if (qm_fetch_file(name.c_str(), path.c_str(), what.c_str(), reason.data(), static_cast<int>(reason.size())) != 0)
        return true;
    error = reason.data();
    return false;
}

}  // namespace web

bool CreateNewFile(const std::string& path, Access access, File& file, bool& exists, std::string& error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    exists = fd < 0 && errno == EEXIST;
    if (fd < 0) {
        error = SystemError();
        return false;
    }
    file = File(fd);
    if (access == Access::Shared) PendingSaves().insert(path);
    return true;
}

bool OpenForAppending(const std::string& path, File& file, std::string& error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = SystemError();
        return false;
    }
    file = File(fd);
    return true;
}

bool WriteAll(const File& file, const char* data, std::size_t size, std::string& error) {
    while (size > 0) {
        const ssize_t n = ::write(Descriptor(file), data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            error = SystemError();
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// The memory file system has no disk to reach.
bool SyncFile(const File&, std::string&) { return true; }

bool CloseFile(File& file, std::string& error) {
    if (!file.Valid()) return true;
    if (::close(static_cast<int>(file.Release())) == 0) return true;
    error = SystemError();
    return false;
}

bool ReadWholeFile(const std::string& path, std::string& bytes, std::string& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = SystemError();
        return false;
    }
    File file(fd);
    bytes.clear();
    char block[65536];
    for (;;) {
        const ssize_t n = ::read(fd, block, sizeof block);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = SystemError();
            return false;
        }
        if (n == 0) return true;
        bytes.append(block, static_cast<std::size_t>(n));
    }
}

bool IsFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

// A finished save goes to the reader as a download under the target's name
// and leaves nothing behind; other renames stay in the memory file system.
bool RenameReplacing(const std::string& from, const std::string& to, std::string& error) {
    if (PendingSaves().erase(from) > 0) {
        std::string bytes;
        if (!ReadWholeFile(from, bytes, error)) return false;
        qm_download(BaseName(to).c_str(), bytes.data(), static_cast<int>(bytes.size()));
        ::unlink(from.c_str());
        return true;
    }
    if (::rename(from.c_str(), to.c_str()) == 0) return true;
    error = SystemError();
    return false;
}

bool RemoveFile(const std::string& path) {
    PendingSaves().erase(path);
    return ::unlink(path.c_str()) == 0;
}

bool MakePrivateFolder(const std::string& path, bool& exists, std::string& error) {
    const bool made = ::mkdir(path.c_str(), 0700) == 0;
    exists = !made && errno == EEXIST;
    if (!made) error = SystemError();
    return made;
}

bool RemoveFolderTree(const std::string& path) {
    std::error_code error;
    std::filesystem::remove_all(path, error);
    return !error;
}

void RemoveFileNow(const char* path) noexcept { ::unlink(path); }
void RemoveFolderNow(const char* path) noexcept { ::rmdir(path); }

void SetVariable(const std::string& name, const std::string& value) { setenv(name.c_str(), value.c_str(), 1); }

std::string TemporaryFolder() { return "/tmp/"; }

// The program has no file in a page: it is the page's quixmag.wasm.
std::string ExecutablePath(const char*) { return "/quixmag"; }

bool IsRunningExecutable(const std::string&) { return false; }

std::string LibraryFileName(const std::string& base) { return base + ".wasm"; }

void* OpenLibrary(const std::string&, std::string& error) {
    if (LinkedEntries()[0].name == nullptr) {
        error = "no sound library is linked into this program";
        return nullptr;
    }
    return &LinkedLibrary;
}

void* LibrarySymbol(void*, const char* name, std::string& error) {
    for (const LinkedEntry& slot : LinkedEntries())
        if (slot.name != nullptr && std::string_view(slot.name) == name) return slot.entry;
    error = std::string("no entry point ") + name;
    return nullptr;
}

void CloseLibrary(void*) {}

// A page runs one magazine, and its files live in the page's memory and go
// with it: no run can leave a folder behind for a later one.
std::string ProcessStamp() { return "1 0\n"; }

std::string CurrentFolder() {
    char buffer[4096];
    return ::getcwd(buffer, sizeof buffer) != nullptr ? WithSeparator(buffer) : std::string();
}

// The page hands a download's name to the browser as UTF-8.
std::string SystemCharset() { return "UTF-8"; }

bool NameFromUtf8(const std::string& utf8, const std::string&, std::string& name, std::string&) {
    name = utf8;
    return true;
}

void RemoveAbandonedFolders(const std::string&, const std::string&, std::size_t, const std::string&, const std::string&,
                            SaveRecordHandler) {}

// Editions are made on the machine the editor works on, not here.
int RunProgram(const std::string&, const std::vector<std::string>&, std::string& error) {
    error = "programs are not started here";
    return -1;
}

bool MakeExecutable(const std::string&, std::string&) { return true; }

}  // namespace sys
