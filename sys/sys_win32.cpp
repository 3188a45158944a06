// sys.h on Windows (kernel32 alone), and the content as the executable's
// own RCDATA resources.
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <system_error>
#include <utility>
#include <vector>

#include "sys/resources.h"
#include "sys/sys.h"
#include "sys/text.h"

namespace sys {

const char PathSeparator = '\\';

namespace {

// Paths are kept in the program's 8-bit code page; the system is asked in
// UTF-16.
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

// The system's text for an error code, in the user's language, without
// the line end and the full stop it comes with.
std::string SystemMessage(DWORD code) {
    char text[256] = {};
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                                  MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text, sizeof text, nullptr);
    while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n' || text[length - 1] == '.')) --length;
    return length > 0 ? std::string(text, length) : "error " + std::to_string(code);
}

std::string LastError() { return SystemMessage(GetLastError()); }

HANDLE Native(const File& file) { return reinterpret_cast<HANDLE>(file.Handle()); }

// The system's error code for an error number of the fault counter.
DWORD SystemCodeOf(int error) {
    switch (error) {
    case ENOSPC: return ERROR_DISK_FULL;
    case EACCES: return ERROR_ACCESS_DENIED;
    case EMFILE: return ERROR_TOO_MANY_OPEN_FILES;
    default: return ERROR_IO_DEVICE;
    }
}

// Whether the fault counter of the tests refuses this call; the thread's
// last error then says why, as if the system had answered.
bool Refused(FileOp op) {
    const int error = InjectedFault(op);
    if (error != 0) SetLastError(SystemCodeOf(error));
    return error != 0;
}

File Wrap(HANDLE handle) { return File(reinterpret_cast<std::intptr_t>(handle)); }

// Opens Path only to ask what it is.
File OpenForQuery(const std::wstring& path) {
    return Wrap(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

bool FileIdentity(const std::wstring& path, BY_HANDLE_FILE_INFORMATION& info) {
    const File file = OpenForQuery(path);
    return file.Valid() && GetFileInformationByHandle(Native(file), &info) != 0;
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

}  // namespace

bool CreateNewFile(const std::string& path, Access, File& file, bool& exists, std::string& error) {
    // A new file's rights come from its folder: the working folder is the
    // user's own temporary folder, a save lands where the reader chose.
    HANDLE handle = Refused(FileOp::Create) ? INVALID_HANDLE_VALUE
                                            : CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                                          FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        exists = code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS;
        error = SystemMessage(code);
        return false;
    }
    exists = false;
    file = Wrap(handle);
    return true;
}

bool OpenForAppending(const std::string& path, File& file, std::string& error) {
    // FILE_APPEND_DATA alone: the system puts every write at the end.
    HANDLE handle = CreateFileW(Wide(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = LastError();
        return false;
    }
    file = Wrap(handle);
    return true;
}

bool WriteAll(const File& file, const char* data, std::size_t size, std::string& error) {
    while (size > 0) {
        const DWORD chunk = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
        DWORD written = 0;
        if (Refused(FileOp::Write) || !WriteFile(Native(file), data, chunk, &written, nullptr) || written == 0) {
            error = LastError();
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

bool SyncFile(const File& file, std::string& error) {
    if (!Refused(FileOp::Sync) && FlushFileBuffers(Native(file))) return true;
    error = LastError();
    return false;
}

bool CloseFile(File& file, std::string& error) {
    if (!file.Valid()) return true;
    // A refused close still closes: the handle is never kept.
    const int refused = InjectedFault(FileOp::Close);
    if (CloseHandle(reinterpret_cast<HANDLE>(file.Release())) && refused == 0) return true;
    error = refused != 0 ? SystemMessage(SystemCodeOf(refused)) : LastError();
    return false;
}

bool ReadWholeFile(const std::string& path, std::string& bytes, std::string& error) {
    const File file =
        Refused(FileOp::Open)
            ? File()
            : Wrap(CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) {
        error = LastError();
        return false;
    }
    bytes.clear();
    char block[65536];
    for (;;) {
        DWORD got = 0;
        if (Refused(FileOp::Read) || !::ReadFile(Native(file), block, sizeof block, &got, nullptr)) {
            error = LastError();
            return false;
        }
        if (got == 0) return true;
        bytes.append(block, got);
    }
}

bool IsFile(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool RenameReplacing(const std::string& from, const std::string& to, std::string& error) {
    if (!Refused(FileOp::Rename) &&
        MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    error = LastError();
    return false;
}

bool RemoveFile(const std::string& path) { return !Refused(FileOp::Remove) && DeleteFileW(Wide(path).c_str()) != 0; }

bool MakePrivateFolder(const std::string& path, bool& exists, std::string& error) {
    // The user's temporary folder is the user's own; the new folder takes
    // its rights.
    const bool made = !Refused(FileOp::MakeFolder) && CreateDirectoryW(Wide(path).c_str(), nullptr) != 0;
    exists = !made && GetLastError() == ERROR_ALREADY_EXISTS;
    if (!made) error = LastError();
    return made;
}

bool RemoveFolderTree(const std::string& path) {
    if (Refused(FileOp::Remove)) return false;
    std::error_code error;
    std::filesystem::remove_all(std::filesystem::path(Wide(path)), error);
    return !error;
}

void RemoveFileNow(const char* path) noexcept { DeleteFileA(path); }
void RemoveFolderNow(const char* path) noexcept { RemoveDirectoryA(path); }

// The C run-time's copy of the environment, which getenv reads.
void SetVariable(const std::string& name, const std::string& value) { _putenv_s(name.c_str(), value.c_str()); }

std::string TemporaryFolder() {
    wchar_t buffer[MAX_PATH + 2] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 2, buffer);
    const std::string base = length > 0 ? Narrow(std::wstring(buffer, length)) : std::string(".\\");
    if (!base.empty() && base.back() == '/') return base;
    return WithSeparator(base);
}

std::string CurrentFolder() {
    const DWORD size = GetCurrentDirectoryW(0, nullptr);
    if (size == 0) return {};
    std::wstring buffer(size, L'\0');
    const DWORD length = GetCurrentDirectoryW(size, buffer.data());
    if (length == 0 || length >= size) return {};
    return WithSeparator(Narrow(buffer.substr(0, length)));
}

std::string ExecutablePath(const char* argv0) {
    const std::wstring module = ModulePath();
    if (!module.empty()) return Narrow(module);
    std::error_code ignored;
    return std::filesystem::absolute(argv0 != nullptr ? argv0 : "", ignored).string();
}

bool IsRunningExecutable(const std::string& path) {
    BY_HANDLE_FILE_INFORMATION self{};
    BY_HANDLE_FILE_INFORMATION target{};
    if (!FileIdentity(ModulePath(), self) || !FileIdentity(Wide(path), target)) return false;
    return self.dwVolumeSerialNumber == target.dwVolumeSerialNumber && self.nFileIndexHigh == target.nFileIndexHigh &&
           self.nFileIndexLow == target.nFileIndexLow;
}

void* OpenLibrary(const std::string& path, std::string& error) {
    HMODULE library = Refused(FileOp::LoadLibrary) ? nullptr : LoadLibraryW(Wide(path).c_str());
    if (library == nullptr) error = LastError();
    return reinterpret_cast<void*>(library);
}

void* LibrarySymbol(void* library, const char* name, std::string& error) {
    void* entry = reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
    if (entry == nullptr) error = LastError();
    return entry;
}

std::string LocalTimeStamp() {
    SYSTEMTIME t{};
    GetLocalTime(&t);
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
                  t.wSecond);
    return text;
}

// Paths are kept in the program's 8-bit code page (Wide reads them so).
std::string SystemCharset() { return GetACP() == CP_UTF8 ? std::string("UTF-8") : "CP" + std::to_string(GetACP()); }

bool NameFromUtf8(const std::string& utf8, const std::string& charset, std::string& name, std::string& error) {
    const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 1), L'\0');
    if (length <= 0 || MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.c_str(), -1, wide.data(), length) <= 0) {
        error = "not a name";
        return false;
    }
    if (GetACP() == CP_UTF8) {
        name = utf8;
        return true;
    }
    // A character the code page lacks would become a look-alike or '?':
    // such a name is refused instead.
    BOOL lacking = FALSE;
    const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.c_str(), -1, nullptr, 0, nullptr, &lacking);
    std::string narrow(static_cast<std::size_t>(size > 0 ? size : 1), '\0');
    if (size <= 0 || lacking ||
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.c_str(), -1, narrow.data(), size, nullptr, &lacking) <=
            0 ||
        lacking) {
        error = charset + " cannot hold that name";
        return false;
    }
    narrow.pop_back();  // the terminating zero
    name = narrow;
    return true;
}

std::string LibraryFileName(const std::string& base) { return base + ".dll"; }

void CloseLibrary(void* library) { FreeLibrary(static_cast<HMODULE>(library)); }

namespace {

// The time process Process was created, in 100 ns units; 0 when unknown.
unsigned long long CreationTime(HANDLE process) {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
    return (static_cast<unsigned long long>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

// Whether the process that Stamp names still runs: same id, same creation
// time. A stamp that cannot be read, or a process that cannot be asked,
// counts as running: nothing is removed on a doubt.
bool StampRunning(const std::string& stamp) {
    char* end = nullptr;
    const unsigned long pid = std::strtoul(stamp.c_str(), &end, 10);
    if (end == stamp.c_str() || *end != ' ' || pid == 0 || stamp.back() != '\n') return true;
    const unsigned long long created = std::strtoull(end + 1, nullptr, 10);
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (process == nullptr) return GetLastError() != ERROR_INVALID_PARAMETER;  // no such process
    DWORD code = 0;
    const bool ended = GetExitCodeProcess(process, &code) && code != STILL_ACTIVE;
    const unsigned long long now = CreationTime(process);
    CloseHandle(process);
    return !ended && (created == 0 || now == 0 || now == created);
}

// Reads Path whole when it is a plain file: no folder, no link or junction.
bool ReadPlainFile(const std::string& path, std::string& bytes) {
    const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0)
        return false;
    std::string error;
    return ReadWholeFile(path, bytes, error);
}

bool MatchesPattern(const std::wstring& name, const std::wstring& prefix, std::size_t letters) {
    if (name.size() != prefix.size() + letters || name.compare(0, prefix.size(), prefix) != 0) return false;
    for (std::size_t i = prefix.size(); i < name.size(); ++i)
        if (!iswalnum(name[i])) return false;
    return true;
}

}  // namespace

std::string ProcessStamp() {
    return std::to_string(GetCurrentProcessId()) + ' ' + std::to_string(CreationTime(GetCurrentProcess())) + '\n';
}

// The user's temporary folder is the user's own on Windows: the folders in
// it are not asked for their owner. Reparse points (links, junctions) are
// never entered.
void RemoveAbandonedFolders(const std::string& base, const std::string& prefix, std::size_t letters,
                            const std::string& record, const std::string& saveRecord, SaveRecordHandler onSaveRecord) {
    WIN32_FIND_DATAW found{};
    HANDLE search =
        Refused(FileOp::OpenFolder) ? INVALID_HANDLE_VALUE : FindFirstFileW(Wide(base + prefix + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    std::vector<std::string> abandoned;
    const std::wstring widePrefix = Wide(prefix);
    do {
        const DWORD attributes = found.dwFileAttributes;
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
            !MatchesPattern(found.cFileName, widePrefix, letters))
            continue;
        const std::string folder = base + Narrow(found.cFileName);
        std::string stamp;
        if (ReadPlainFile(WithSeparator(folder) + record, stamp) && !StampRunning(stamp)) abandoned.push_back(folder);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    for (const std::string& folder : abandoned) {
        std::string save;
        if (onSaveRecord != nullptr && ReadPlainFile(WithSeparator(folder) + saveRecord, save)) onSaveRecord(save);
        RemoveFolderTree(folder);
    }
}

// Editions are made on the machine the editor works on, not here.
namespace {

// One argument as the C run-time splits a command line: quoted when it holds
// a space, a tab or a quote; a quote escaped with a backslash, and the
// backslashes before a quote (or the closing one) doubled.
std::wstring QuotedArgument(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

}  // namespace

int RunProgram(const std::string& path, const std::vector<std::string>& args, std::string& error) {
    std::wstring line;
    for (const std::string& arg : args) line += (line.empty() ? L"" : L" ") + QuotedArgument(Wide(arg));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    // The child shares this console and its standard handles.
    if (!::CreateProcessW(Wide(path).c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                          &process)) {
        error = LastError();
        return -1;
    }
    ::CloseHandle(process.hThread);
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 0;
    const bool known = ::GetExitCodeProcess(process.hProcess, &status);
    ::CloseHandle(process.hProcess);
    if (!known) {
        error = LastError();
        return -1;
    }
    return static_cast<int>(status);
}

bool MakeExecutable(const std::string&, std::string&) { return true; }

}  // namespace sys

// The content is the executable's own RCDATA resources, stored under names
// in capitals; the system looks names up ignoring case. Each resource found
// is remembered, so that every lookup of a name answers the same entry.
const ResourceData* FindResource(std::string_view name) {
    // A name beginning with '#' would be read as a resource number.
    if (name.empty() || name.front() == '#') return nullptr;
    std::wstring wide;
    for (unsigned char c : name) {
        if (c < 0x20 || c >= 0x80) return nullptr;  // resource names are plain ASCII
        wide += static_cast<wchar_t>(UpperChar(static_cast<char>(c)));
    }
    static std::map<std::wstring, std::pair<std::string, ResourceData>> found;
    if (auto known = found.find(wide); known != found.end()) return &known->second.second;

    HRSRC info = ::FindResourceW(nullptr, wide.c_str(), MAKEINTRESOURCEW(10));  // RCDATA
    HGLOBAL loaded = info ? ::LoadResource(nullptr, info) : nullptr;
    const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
    if (bytes == nullptr) return nullptr;
    auto& entry = found[wide];
    entry.first.assign(wide.begin(), wide.end());
    entry.second = ResourceData{entry.first, static_cast<const unsigned char*>(bytes),
                                static_cast<std::size_t>(::SizeofResource(nullptr, info))};
    return &entry.second;
}

std::vector<std::string> ResourceNames() {
    std::vector<std::string> names;
    // Called once per named RCDATA resource; numbered ones have no name.
    const auto add = [](HMODULE, LPCWSTR, LPWSTR name, LONG_PTR list) -> BOOL {
        if (!IS_INTRESOURCE(name)) {
            std::string& out = reinterpret_cast<std::vector<std::string>*>(list)->emplace_back();
            for (const wchar_t* c = name; *c; ++c) out += static_cast<char>(*c);  // plain ASCII, as written
        }
        return TRUE;
    };
    ::EnumResourceNamesW(nullptr, MAKEINTRESOURCEW(10), add, reinterpret_cast<LONG_PTR>(&names));
    return names;
}
