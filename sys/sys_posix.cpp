// sys.h on POSIX systems.
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <iconv.h>
#include <langinfo.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <sys/stat.h>
#include <unistd.h>

extern char** environ;

#include <cctype>
#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <system_error>
#include <vector>

#include "sys/sys.h"

namespace sys {

const char PathSeparator = '/';

namespace {

std::string SystemError() { return std::strerror(errno); }

int Descriptor(const File& file) { return static_cast<int>(file.Handle()); }

// Whether the fault counter of the tests refuses this call; errno then
// holds the error, as if the system had answered it.
bool Refused(FileOp op) {
    const int error = InjectedFault(op);
    if (error != 0) errno = error;
    return error != 0;
}

// The system calls of this file, each asking the fault counter first.
int OpenAt(int folder, const char* path, int flags, mode_t mode = 0) {
    const bool creates = (flags & O_CREAT) != 0;
    const bool isFolder = (flags & O_DIRECTORY) != 0;
    if (Refused(creates ? FileOp::Create : isFolder ? FileOp::OpenFolder : FileOp::Open)) return -1;
    return ::openat(folder, path, flags | O_CLOEXEC, mode);
}

ssize_t ReadSome(int fd, char* data, std::size_t size) {
    if (Refused(FileOp::Read)) return -1;
    return ::read(fd, data, size);
}

int RemoveAt(int folder, const char* name, int flags) {
    if (Refused(FileOp::Remove)) return -1;
    return ::unlinkat(folder, name, flags);
}

// Reads the file Name of Folder whole, following no link at its end.
bool ReadAt(int folder, const char* name, int flags, std::string& bytes) {
    const int fd = OpenAt(folder, name, O_RDONLY | flags);
    if (fd < 0) return false;
    File file(fd);
    bytes.clear();
    char block[65536];
    for (;;) {
        const ssize_t n = ReadSome(fd, block, sizeof block);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        bytes.append(block, static_cast<std::size_t>(n));
    }
}

// Folders nested deeper than this are not entered: the program makes none.
constexpr int MaxFolderDepth = 16;

// Removes everything inside the open folder Fd, following no link, entering
// folders below it through their own descriptors. Answers whether all of it
// went.
bool EmptyFolderAt(int fd, int depth = 0) {
    std::vector<std::string> names;
    {
        const int listing = Refused(FileOp::OpenFolder) ? -1 : ::dup(fd);
        if (listing < 0) return false;
        DIR* dir = ::fdopendir(listing);
        if (dir == nullptr) {
            ::close(listing);
            return false;
        }
        ::rewinddir(dir);
        while (const dirent* entry = ::readdir(dir))
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                names.emplace_back(entry->d_name);
        ::closedir(dir);
    }
    bool all = true;
    for (const std::string& name : names) {
        struct stat st {};
        if (::fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;  // gone already
        if (S_ISDIR(st.st_mode)) {
            const int inner =
                depth < MaxFolderDepth ? OpenAt(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW) : -1;
            if (inner < 0) {
                all = false;
                continue;
            }
            const bool emptied = EmptyFolderAt(inner, depth + 1);
            ::close(inner);
            all = emptied && RemoveAt(fd, name.c_str(), AT_REMOVEDIR) == 0 && all;
        } else {
            all = RemoveAt(fd, name.c_str(), 0) == 0 && all;
        }
    }
    return all;
}

// The time the process Pid started, in clock ticks since the machine
// booted (the 22nd field of /proc/PID/stat); 0 where the system cannot say.
unsigned long long ProcessStartTime(pid_t pid) {
    std::string stat;
    if (!ReadAt(AT_FDCWD, ("/proc/" + std::to_string(pid) + "/stat").c_str(), 0, stat)) return 0;
    // The command name in parentheses may hold spaces: count fields after it.
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos) return 0;
    std::size_t at = close + 1;
    for (int field = 3; field <= 22; ++field) {
        at = stat.find_first_not_of(' ', at);
        if (at == std::string::npos) return 0;
        if (field == 22) return std::strtoull(stat.c_str() + at, nullptr, 10);
        at = stat.find(' ', at);
        if (at == std::string::npos) return 0;
    }
    return 0;
}

// Whether the process that Stamp (as ProcessStamp writes it) names still
// runs. A stamp that cannot be read counts as running: nothing is removed
// on a doubt.
bool StampRunning(const std::string& stamp) {
    char* end = nullptr;
    const long long pid = std::strtoll(stamp.c_str(), &end, 10);
    if (end == stamp.c_str() || *end != ' ' || pid <= 0 || stamp.empty() || stamp.back() != '\n') return true;
    const unsigned long long started = std::strtoull(end + 1, nullptr, 10);
    if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) return false;
    const unsigned long long now = ProcessStartTime(static_cast<pid_t>(pid));
    return started == 0 || now == 0 || now == started;  // another start time: the id was given again
}

// Reads the file Name of the open folder Folder whole when it is a plain
// file of User; a link is never followed.
bool ReadOwnFileAt(int folder, const std::string& name, uid_t user, std::string& bytes) {
    struct stat st {};
    return ::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) && st.st_uid == user &&
           ReadAt(folder, name.c_str(), O_NOFOLLOW, bytes);
}

// Whether Name is Prefix followed by exactly Letters letters or digits.
bool MatchesPattern(const char* name, const std::string& prefix, std::size_t letters) {
    if (std::strncmp(name, prefix.c_str(), prefix.size()) != 0) return false;
    const char* rest = name + prefix.size();
    std::size_t count = 0;
    for (; rest[count] != '\0'; ++count)
        if (!std::isalnum(static_cast<unsigned char>(rest[count]))) return false;
    return count == letters;
}

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
    const int fd = OpenAt(AT_FDCWD, path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, mode);
    exists = fd < 0 && errno == EEXIST;
    if (fd < 0) {
        error = SystemError();
        return false;
    }
    file = File(fd);
    return true;
}

bool OpenForAppending(const std::string& path, File& file, std::string& error) {
    const int fd = OpenAt(AT_FDCWD, path.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0666);
    if (fd < 0) {
        error = SystemError();
        return false;
    }
    file = File(fd);
    return true;
}

bool WriteAll(const File& file, const char* data, std::size_t size, std::string& error) {
    while (size > 0) {
        const ssize_t n = Refused(FileOp::Write) ? -1 : ::write(Descriptor(file), data, size);
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
    if (!Refused(FileOp::Sync) && ::fsync(Descriptor(file)) == 0) return true;
    error = SystemError();
    return false;
}

bool CloseFile(File& file, std::string& error) {
    if (!file.Valid()) return true;
    // A refused close still closes: the descriptor is never kept.
    const int refused = InjectedFault(FileOp::Close);
    if (::close(static_cast<int>(file.Release())) == 0 && refused == 0) return true;
    if (refused != 0) errno = refused;
    error = SystemError();
    return false;
}

bool ReadWholeFile(const std::string& path, std::string& bytes, std::string& error) {
    if (ReadAt(AT_FDCWD, path.c_str(), 0, bytes)) return true;
    error = SystemError();
    return false;
}

bool IsFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool RenameReplacing(const std::string& from, const std::string& to, std::string& error) {
    if (!Refused(FileOp::Rename) && ::rename(from.c_str(), to.c_str()) == 0) return true;
    error = SystemError();
    return false;
}

bool RemoveFile(const std::string& path) { return RemoveAt(AT_FDCWD, path.c_str(), 0) == 0; }

bool MakePrivateFolder(const std::string& path, bool& exists, std::string& error) {
    const bool made = !Refused(FileOp::MakeFolder) && ::mkdir(path.c_str(), 0700) == 0;
    exists = !made && errno == EEXIST;
    if (!made) error = SystemError();
    return made;
}

bool RemoveFolderTree(const std::string& path) {
    // A folder that cannot be opened may still be empty: the removal of the
    // folder itself is tried in any case.
    const int fd = OpenAt(AT_FDCWD, path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
    if (fd >= 0) {
        EmptyFolderAt(fd);
        ::close(fd);
    }
    return RemoveAt(AT_FDCWD, path.c_str(), AT_REMOVEDIR) == 0 || errno == ENOENT;
}

void RemoveFileNow(const char* path) noexcept { ::unlink(path); }
void RemoveFolderNow(const char* path) noexcept { ::rmdir(path); }

void SetVariable(const std::string& name, const std::string& value) { setenv(name.c_str(), value.c_str(), 1); }

std::string TemporaryFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string base = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
    std::error_code ignored;
    if (base.front() != '/') base = std::filesystem::absolute(base, ignored).string();
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    return WithSeparator(base);
}

std::string CurrentFolder() {
    std::vector<char> buffer(4096);
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE) return {};
        buffer.resize(buffer.size() * 2);
    }
    return WithSeparator(buffer.data());
}

std::string ExecutablePath(const char* argv0) {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error && !self.empty()) return self.string();
    std::error_code ignored;
    return std::filesystem::absolute(argv0 != nullptr ? argv0 : "", ignored).string();
}

int RunProgram(const std::string& path, const std::vector<std::string>& args, std::string& error) {
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t child = 0;
    if (const int failed = posix_spawn(&child, path.c_str(), nullptr, nullptr, argv.data(), environ)) {
        error = std::strerror(failed);
        return -1;
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0)
        if (errno != EINTR) {
            error = SystemError();
            return -1;
        }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    error = "ended by signal " + std::to_string(WTERMSIG(status));
    return -1;
}

bool MakeExecutable(const std::string& path, std::string& error) {
    if (::chmod(path.c_str(), 0755) == 0) return true;
    error = SystemError();
    return false;
}

bool IsRunningExecutable(const std::string& path) {
    struct stat self {};
    struct stat target {};
    if (!SelfIdentity(self) || ::stat(path.c_str(), &target) != 0) return false;
    return self.st_dev == target.st_dev && self.st_ino == target.st_ino;
}

void* OpenLibrary(const std::string& path, std::string& error) {
    if (Refused(FileOp::LoadLibrary)) {
        error = SystemError();
        return nullptr;
    }
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

std::string SystemCharset() {
    // The program keeps its own locale for its texts: the reader's is set
    // only for the question.
    const char* current = std::setlocale(LC_CTYPE, nullptr);
    const std::string previous = current != nullptr ? current : "C";
    if (std::setlocale(LC_CTYPE, "") == nullptr) return {};
    const std::string charset = ::nl_langinfo(CODESET);
    std::setlocale(LC_CTYPE, previous.c_str());
    return charset;
}

bool NameFromUtf8(const std::string& utf8, const std::string& charset, std::string& name, std::string& error) {
    const iconv_t convert = ::iconv_open(charset.c_str(), "UTF-8");
    if (convert == reinterpret_cast<iconv_t>(-1)) {
        error = "unknown character set " + charset;
        return false;
    }
    std::string in = utf8;
    // Four bytes a character are more than any character set needs.
    std::string out(in.size() * 4 + 8, '\0');
    char* inAt = in.data();
    char* outAt = out.data();
    std::size_t inLeft = in.size();
    std::size_t outLeft = out.size();
    // A character without a form of its own there fails (EILSEQ), and one
    // given a look-alike counts as not converted: either way no such name.
    const bool whole = ::iconv(convert, &inAt, &inLeft, &outAt, &outLeft) == 0 &&
                       ::iconv(convert, nullptr, nullptr, &outAt, &outLeft) == 0;
    ::iconv_close(convert);
    if (!whole) {
        error = charset + " cannot hold that name";
        return false;
    }
    out.resize(out.size() - outLeft);
    name = out;
    return true;
}

std::string LibraryFileName(const std::string& base) { return base + ".so"; }

void CloseLibrary(void* library) { ::dlclose(library); }

std::string ProcessStamp() {
    const pid_t self = ::getpid();
    return std::to_string(self) + ' ' + std::to_string(ProcessStartTime(self)) + '\n';
}

void RemoveAbandonedFolders(const std::string& base, const std::string& prefix, std::size_t letters,
                            const std::string& record, const std::string& saveRecord, SaveRecordHandler onSaveRecord) {
    const int folder = OpenAt(AT_FDCWD, base.c_str(), O_RDONLY | O_DIRECTORY);
    if (folder < 0) return;
    const File held(folder);
    std::vector<std::string> candidates;
    {
        const int listing = Refused(FileOp::OpenFolder) ? -1 : ::dup(folder);
        DIR* dir = listing < 0 ? nullptr : ::fdopendir(listing);
        if (dir == nullptr) {
            if (listing >= 0) ::close(listing);
            return;
        }
        while (const dirent* entry = ::readdir(dir))
            if (MatchesPattern(entry->d_name, prefix, letters)) candidates.emplace_back(entry->d_name);
        ::closedir(dir);
    }
    const uid_t user = ::geteuid();
    for (const std::string& name : candidates) {
        // Opened without following a link, then asked through the descriptor:
        // what is examined is what gets emptied.
        const int fd = OpenAt(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
        if (fd < 0) continue;
        const File run(fd);
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != user) continue;
        std::string stamp;
        if (!ReadOwnFileAt(fd, record, user, stamp) || StampRunning(stamp)) continue;
        std::string save;
        if (onSaveRecord != nullptr && ReadOwnFileAt(fd, saveRecord, user, save)) onSaveRecord(save);
        if (EmptyFolderAt(fd)) RemoveAt(folder, name.c_str(), AT_REMOVEDIR);
    }
}

}  // namespace sys
