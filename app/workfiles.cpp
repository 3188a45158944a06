#include "workfiles.h"

#include <array>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace {

#ifdef _WIN32
constexpr char Separator = '\\';
#else
constexpr char Separator = '/';
#endif

// Every name the program writes in its working folder is remembered here, so
// that a signal handler can remove them without listing the folder (which no
// async-signal-safe call can do). The program uses a few dozen names.
constexpr std::size_t MaxWorkNames = 128;
constexpr std::size_t MaxWorkName = 256;

struct WorkState {
    std::string folder;  // with the trailing separator
    std::string bare;    // without it, for the final removal
    std::array<std::array<char, MaxWorkName>, MaxWorkNames> names{};
    volatile std::sig_atomic_t nameCount = 0;
    volatile std::sig_atomic_t open = 0;
    // folder + the longest name, filled in by the signal path only.
    std::unique_ptr<char[]> scratch;
    // A save's temporary file between its creation and its rename.
    std::string pendingSave;
    volatile std::sig_atomic_t savePending = 0;
    std::atomic_flag cleaning = ATOMIC_FLAG_INIT;
};

WorkState& Work() {
    static WorkState state;
    return state;
}

// The plain file name at the end of Path, when Path lies directly inside the
// working folder; empty otherwise.
std::string WorkName(const std::string& path) {
    const WorkState& w = Work();
    if (!w.open || path.size() <= w.folder.size() || path.compare(0, w.folder.size(), w.folder) != 0) return {};
    const std::string name = path.substr(w.folder.size());
    if (name.find('/') != std::string::npos || name.find('\\') != std::string::npos || name == "." || name == "..")
        return {};
    return name;
}

// Adds Name to the names the signal path removes. False when it cannot be
// remembered (too long, or the table is full).
bool RememberName(const std::string& name) {
    WorkState& w = Work();
    if (name.size() >= MaxWorkName) return false;
    for (std::sig_atomic_t i = 0; i < w.nameCount; ++i)
        if (name == w.names[static_cast<std::size_t>(i)].data()) return true;
    if (static_cast<std::size_t>(w.nameCount) >= MaxWorkNames) return false;
    auto& slot = w.names[static_cast<std::size_t>(w.nameCount)];
    std::memcpy(slot.data(), name.c_str(), name.size() + 1);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    w.nameCount = w.nameCount + 1;  // only now may the signal path see it
    return true;
}

// Random letters for unique names; the standard random device, mixed with the
// clock so that two runs started at once still differ.
std::string RandomLetters(std::size_t count) {
    static std::mt19937_64 engine = [] {
        std::random_device device;
        const auto now = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
        std::seed_seq seed{device(), device(), static_cast<unsigned>(now), static_cast<unsigned>(now >> 32)};
        return std::mt19937_64(seed);
    }();
    static constexpr char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::uniform_int_distribution<std::size_t> pick(0, sizeof letters - 2);
    std::string out;
    for (std::size_t i = 0; i < count; ++i) out += letters[pick(engine)];
    return out;
}

// The folder part of Path with its separator ("" for a bare name).
std::string FolderOf(const std::string& path) {
    const std::size_t cut = path.find_last_of("/\\");
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

// Tries a few names for a save's temporary file before giving up.
constexpr int UniqueNameTries = 100;
constexpr const char* SaveTempPrefix = ".quixmag-save-";
constexpr const char* RefusedSelf = "that is the running program";

void SetPendingSave(const std::string& path) {
    WorkState& w = Work();
    w.savePending = 0;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    w.pendingSave = path;
    std::atomic_signal_fence(std::memory_order_seq_cst);  // the path is whole before the flag says so
    w.savePending = 1;
}

void ClearPendingSave() { Work().savePending = 0; }

#ifdef _WIN32
// --- Windows ------------------------------------------------------------------------

std::wstring Wide(const std::string& text) {
    const int length = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    if (length <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), length);
    wide.pop_back();  // the terminating zero
    return wide;
}

std::string Narrow(const std::wstring& text) {
    const int length = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return {};
    std::string narrow(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, narrow.data(), length, nullptr, nullptr);
    narrow.pop_back();
    return narrow;
}

std::string SystemMessage(DWORD code) {
    char text[256] = {};
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                                  MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text, sizeof text, nullptr);
    while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n' || text[length - 1] == '.')) --length;
    return length > 0 ? std::string(text, length) : "error " + std::to_string(code);
}

class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle() { Close(); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return handle_; }
    bool Close() {
        if (!Valid()) return true;
        const bool ok = CloseHandle(handle_) != 0;
        handle_ = INVALID_HANDLE_VALUE;
        return ok;
    }

private:
    HANDLE handle_;
};

// Creates Path as a new file; fails when anything of that name exists.
HANDLE CreateExclusive(const std::string& path) {
    return CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool WriteWhole(HANDLE file, const char* data, std::size_t size) {
    while (size > 0) {
        const DWORD chunk = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(file, data, chunk, &written, nullptr) || written == 0) return false;
        data += written;
        size -= written;
    }
    return true;
}

// Writes a new file exclusively; on any failure the file is removed again.
bool WriteNewFile(const std::string& path, const char* data, std::size_t size, bool flush, std::string& error,
                  bool& exists) {
    exists = false;
    FileHandle file(CreateExclusive(path));
    if (!file.Valid()) {
        const DWORD code = GetLastError();
        exists = code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS;
        error = SystemMessage(code);
        return false;
    }
    bool ok = WriteWhole(file.Get(), data, size) && (!flush || FlushFileBuffers(file.Get()));
    if (!ok) error = SystemMessage(GetLastError());
    if (!file.Close() && ok) {
        ok = false;
        error = SystemMessage(GetLastError());
    }
    if (!ok) DeleteFileW(Wide(path).c_str());
    return ok;
}

bool FileIdentity(const std::wstring& path, BY_HANDLE_FILE_INFORMATION& info) {
    FileHandle file(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return file.Valid() && GetFileInformationByHandle(file.Get(), &info) != 0;
}

std::wstring ModulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::string TempBase() {
    wchar_t buffer[MAX_PATH + 2] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 2, buffer);
    std::string base = length > 0 ? Narrow(std::wstring(buffer, length)) : std::string(".\\");
    if (base.empty() || (base.back() != '\\' && base.back() != '/')) base += Separator;
    return base;
}

bool MakeUniqueFolder(const std::string& base, std::string& made, std::string& error) {
    for (int i = 0; i < UniqueNameTries; ++i) {
        const std::string candidate = base + "quixmag-" + RandomLetters(8);
        if (CreateDirectoryW(Wide(candidate).c_str(), nullptr)) {
            made = candidate;
            return true;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    error = SystemMessage(GetLastError());
    return false;
}

void RemoveFile(const std::string& path) { DeleteFileW(Wide(path).c_str()); }
bool Rename(const std::string& from, const std::string& to, std::string& error) {
    if (MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    error = SystemMessage(GetLastError());
    return false;
}

#else
// --- POSIX ---------------------------------------------------------------------------

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() { Close(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    bool Valid() const { return fd_ >= 0; }
    int Get() const { return fd_; }
    bool Close() {
        if (fd_ < 0) return true;
        const bool ok = ::close(fd_) == 0;
        fd_ = -1;
        return ok;
    }

private:
    int fd_;
};

// Creates Path as a new file, never through a link: fails when anything of
// that name exists. Mode 0600 for working files; saves get the usual mode
// under the reader's umask.
int CreateExclusive(const std::string& path, mode_t mode) {
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
}

bool WriteWhole(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Writes a new file exclusively; on any failure the file is removed again.
bool WriteNewFile(const std::string& path, const char* data, std::size_t size, mode_t mode, bool flush,
                  std::string& error, bool& exists) {
    exists = false;
    FileDescriptor file(CreateExclusive(path, mode));
    if (!file.Valid()) {
        exists = errno == EEXIST;
        error = std::strerror(errno);
        return false;
    }
    bool ok = WriteWhole(file.Get(), data, size) && (!flush || ::fsync(file.Get()) == 0);
    if (!ok) error = std::strerror(errno);
    if (!file.Close() && ok) {
        ok = false;
        error = std::strerror(errno);
    }
    if (!ok) ::unlink(path.c_str());
    return ok;
}

std::string TempBase() {
    const char* tmp = std::getenv("TMPDIR");
    std::string base = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
    std::error_code ignored;
    if (base.front() != '/') base = std::filesystem::absolute(base, ignored).string();
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    if (base.back() != '/') base += '/';
    return base;
}

bool MakeUniqueFolder(const std::string& base, std::string& made, std::string& error) {
    std::string pattern = base + "quixmag-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {  // mode 0700
        error = std::strerror(errno);
        return false;
    }
    made = pattern;
    return true;
}

void RemoveFile(const std::string& path) { ::unlink(path.c_str()); }
bool Rename(const std::string& from, const std::string& to, std::string& error) {
    if (::rename(from.c_str(), to.c_str()) == 0) return true;
    error = std::strerror(errno);
    return false;
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
#endif

void RemoveAtExit() { RemoveWorkFolder(); }

}  // namespace

// --- The private working folder ---------------------------------------------

bool OpenWorkFolder(std::string& error) {
    RemoveWorkFolder();
    const std::string base = TempBase();
    std::string made;
    if (!MakeUniqueFolder(base, made, error)) {
        error = "cannot make a working folder in " + base + ": " + error;
        return false;
    }
    WorkState& w = Work();
    w.bare = made;
    w.folder = made + Separator;
    w.scratch = std::make_unique<char[]>(w.folder.size() + MaxWorkName);
    w.nameCount = 0;
    std::atomic_signal_fence(std::memory_order_seq_cst);  // the paths are whole before the folder counts as open
    w.open = 1;
    static bool atExitSet = false;
    if (!atExitSet) atExitSet = std::atexit(RemoveAtExit) == 0;
    return true;
}

const std::string& WorkFolder() { return Work().folder; }

std::string WorkFile(const std::string& name) { return Work().folder + name; }

bool WriteWorkFile(const std::string& path, const void* data, std::size_t size, std::string& error) {
    const std::string name = WorkName(path);
    if (name.empty()) {
        error = "not a file of the working folder";
        return false;
    }
    if (!RememberName(name)) {
        error = "too many working files";
        return false;
    }
    // The old file of this name, if any, is the program's own (the folder is
    // private): a fresh file replaces it, so a reader of the old one keeps it.
    RemoveFile(path);
    bool exists = false;
#ifdef _WIN32
    return WriteNewFile(path, static_cast<const char*>(data), size, false, error, exists);
#else
    return WriteNewFile(path, static_cast<const char*>(data), size, 0600, false, error, exists);
#endif
}

void RemoveWorkFile(const std::string& path) {
    if (!WorkName(path).empty()) RemoveFile(path);
}

void RemoveWorkFolder() {
    WorkState& w = Work();
    if (!w.open) return;
    const std::string bare = w.bare;
    w.open = 0;  // the signal path leaves the folder alone from here
    std::atomic_signal_fence(std::memory_order_seq_cst);
    for (std::sig_atomic_t i = 0; i < w.nameCount; ++i)
        RemoveFile(w.folder + w.names[static_cast<std::size_t>(i)].data());
    std::error_code ignored;
    std::filesystem::remove_all(bare, ignored);  // anything else, links not followed
    w.nameCount = 0;
    w.folder.clear();
    w.bare.clear();
}

void RemoveWorkFolderNow() noexcept {
    WorkState& w = Work();
    if (w.cleaning.test_and_set()) return;
    if (w.savePending) {
#ifdef _WIN32
        DeleteFileA(w.pendingSave.c_str());
#else
        ::unlink(w.pendingSave.c_str());
#endif
        w.savePending = 0;
    }
    if (w.open) {
        const std::size_t length = w.folder.size();
        char* path = w.scratch.get();
        std::memcpy(path, w.folder.data(), length);
        for (std::sig_atomic_t i = 0; i < w.nameCount; ++i) {
            const char* name = w.names[static_cast<std::size_t>(i)].data();
            std::memcpy(path + length, name, std::strlen(name) + 1);
#ifdef _WIN32
            DeleteFileA(path);
#else
            ::unlink(path);
#endif
        }
#ifdef _WIN32
        RemoveDirectoryA(w.bare.c_str());
#else
        ::rmdir(w.bare.c_str());
#endif
        w.open = 0;
    }
    w.cleaning.clear();
}

// --- The program itself -------------------------------------------------------

std::string ExecutablePath(const char* argv0) {
#ifdef _WIN32
    const std::wstring module = ModulePath();
    if (!module.empty()) return Narrow(module);
#else
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error && !self.empty()) return self.string();
#endif
    std::error_code ignored;
    return std::filesystem::absolute(argv0 != nullptr ? argv0 : "", ignored).string();
}

bool IsRunningExecutable(const std::string& path) {
#ifdef _WIN32
    BY_HANDLE_FILE_INFORMATION self{};
    BY_HANDLE_FILE_INFORMATION target{};
    if (!FileIdentity(ModulePath(), self) || !FileIdentity(Wide(path), target)) return false;
    return self.dwVolumeSerialNumber == target.dwVolumeSerialNumber &&
           self.nFileIndexHigh == target.nFileIndexHigh && self.nFileIndexLow == target.nFileIndexLow;
#else
    struct stat self {};
    struct stat target {};
    if (!SelfIdentity(self) || ::stat(path.c_str(), &target) != 0) return false;
    return self.st_dev == target.st_dev && self.st_ino == target.st_ino;
#endif
}

bool FolderWritable(const std::string& folder) {
    // Permissions do not tell (root, read-only mounts, network folders): a
    // file that is made exclusively and removed at once does.
    const std::string probe = folder + SaveTempPrefix + RandomLetters(8);
#ifdef _WIN32
    FileHandle file(CreateFileW(Wide(probe).c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    return file.Valid();
#else
    FileDescriptor file(CreateExclusive(probe, 0600));
    if (!file.Valid()) return false;
    ::unlink(probe.c_str());
    return true;
#endif
}

// --- Saves ----------------------------------------------------------------------

bool WriteFileReplacing(const std::string& path, const std::string& bytes, std::string& error) {
    if (IsRunningExecutable(path)) {
        error = RefusedSelf;
        return false;
    }
    const std::string folder = FolderOf(path);
    for (int attempt = 0; attempt < UniqueNameTries; ++attempt) {
        const std::string temp = folder + SaveTempPrefix + RandomLetters(8);
        SetPendingSave(temp);
        bool exists = false;
#ifdef _WIN32
        const bool written = WriteNewFile(temp, bytes.data(), bytes.size(), true, error, exists);
#else
        const bool written = WriteNewFile(temp, bytes.data(), bytes.size(), 0666, true, error, exists);
#endif
        if (!written) {
            ClearPendingSave();
            if (exists) continue;  // another file has that name: try another
            return false;
        }
        const bool renamed = Rename(temp, path, error);
        if (!renamed) RemoveFile(temp);
        ClearPendingSave();
        return renamed;
    }
    error = "no free temporary name";
    return false;
}
