// sys.h on POSIX systems.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "sys/sys.h"

namespace sys {

const char PathSeparator = '/';

namespace {

std::string SystemError() { return std::strerror(errno); }

int Descriptor(const File& file) { return static_cast<int>(file.Handle()); }

// What the running executable is, read once: device and inode.
bool SelfIdentity(struct stat& self) {
    static bool known = false;
    static struct stat cached {};
    if (!known) {
        std::error_code ignored;
        const std::string path = std::filesystem::read_symlink("/proc/self/exe", ignored).string();
        known = ::stat("/proc/self/exe", &cached) == 0 || (!path.empty() && ::stat(path.c_str(), &cached) == 0);
    }
    self = cached;
    return known;
}

}  // namespace

bool CreateNewFile(const std::string& path, Access access, File& file, bool& exists, std::string& error) {
    // Working files are the program's alone; saves get the usual mode under
    // the reader's umask.
    const mode_t mode = access == Access::Private ? 0600 : 0666;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    exists = fd < 0 && errno == EEXIST;
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

bool SyncFile(const File& file, std::string& error) {
    if (::fsync(Descriptor(file)) == 0) return true;
    error = SystemError();
    return false;
}

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

bool RenameReplacing(const std::string& from, const std::string& to, std::string& error) {
    if (::rename(from.c_str(), to.c_str()) == 0) return true;
    error = SystemError();
    return false;
}

bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool MakePrivateFolder(const std::string& path, bool& exists, std::string& error) {
    const bool made = ::mkdir(path.c_str(), 0700) == 0;
    exists = !made && errno == EEXIST;
    if (!made) error = SystemError();
    return made;
}

void RemoveFolderTree(const std::string& path) {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

void RemoveFileNow(const char* path) noexcept { ::unlink(path); }
void RemoveFolderNow(const char* path) noexcept { ::rmdir(path); }

std::string TemporaryFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string base = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
    std::error_code ignored;
    if (base.front() != '/') base = std::filesystem::absolute(base, ignored).string();
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    return WithSeparator(base);
}

std::string ExecutablePath(const char* argv0) {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error && !self.empty()) return self.string();
    std::error_code ignored;
    return std::filesystem::absolute(argv0 != nullptr ? argv0 : "", ignored).string();
}

bool IsRunningExecutable(const std::string& path) {
    struct stat self {};
    struct stat target {};
    if (!SelfIdentity(self) || ::stat(path.c_str(), &target) != 0) return false;
    return self.st_dev == target.st_dev && self.st_ino == target.st_ino;
}

void* OpenLibrary(const std::string& path, std::string& error) {
    // A name without a slash would be searched for in the system's library
    // folders instead of the folder named.
    const std::string named = path.find('/') == std::string::npos ? "./" + path : path;
    void* library = ::dlopen(named.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        const char* text = ::dlerror();
        error = text != nullptr ? text : "unknown error";
    }
    return library;
}

void* LibrarySymbol(void* library, const char* name, std::string& error) {
    ::dlerror();  // so that the text below belongs to this lookup
    void* entry = ::dlsym(library, name);
    if (entry == nullptr) {
        const char* text = ::dlerror();
        error = text != nullptr ? text : std::string("no entry point ") + name;
    }
    return entry;
}

std::string LibraryFileName(const std::string& base) { return base + ".so"; }

void CloseLibrary(void* library) { ::dlclose(library); }

}  // namespace sys
