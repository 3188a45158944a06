// What the program asks of the operating system: files and folders, the
// running executable, the temporary folder and loading a shared library.
//
// Every call that creates, opens, reads, writes, syncs, renames or removes a
// file or a folder goes through these functions. They are defined once per
// platform, in the one source the build picks (sys_posix.cpp or
// sys_win32.cpp); the code above them knows no platform. Each system call
// they make for a file or a folder asks InjectedFault first, so that the
// tests can make any one of them fail.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace sys {

// The separator of path components on this platform.
extern const char PathSeparator;

// Path with the platform's separator at its end (kept when it has one).
std::string WithSeparator(const std::string& path);

// The folder part of Path with its separator; "" for a bare name.
std::string FolderOf(const std::string& path);

// --- Files -----------------------------------------------------------------------

// An open file of the platform, closed when the object goes.
class File {
public:
    File() = default;
    explicit File(std::intptr_t handle) : handle_(handle) {}
    ~File();
    File(File&& other) noexcept : handle_(other.Release()) {}
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    bool Valid() const { return handle_ != Invalid; }
    std::intptr_t Handle() const { return handle_; }
    std::intptr_t Release() {
        const std::intptr_t handle = handle_;
        handle_ = Invalid;
        return handle;
    }

    static constexpr std::intptr_t Invalid = -1;

private:
    std::intptr_t handle_ = Invalid;
};

// Who may read a new file: the program alone (its working files), or anyone
// the reader's defaults allow (the reader's saves).
enum class Access { Private, Shared };

// Creates Path as a new file for writing, never through a link. Fails when
// anything of that name exists, and then says so in Exists. Answers false
// with the system's reason in Error.
bool CreateNewFile(const std::string& path, Access access, File& file, bool& exists, std::string& error);

// Opens Path for appending, made when missing (readable by anyone the
// user's defaults allow): every write lands at the end as one piece, also
// while other programs append to the same file (a log several nodes share).
bool OpenForAppending(const std::string& path, File& file, std::string& error);

// Writes all Size bytes, however many calls it takes.
bool WriteAll(const File& file, const char* data, std::size_t size, std::string& error);

// Makes what was written reach the disk.
bool SyncFile(const File& file, std::string& error);

// Closes the file and answers whether the close succeeded (a close can
// report a failed write).
bool CloseFile(File& file, std::string& error);

// Reads the whole of the file Path into Bytes.
bool ReadWholeFile(const std::string& path, std::string& bytes, std::string& error);

// Reads the last MaxBytes of the file Path (all of it when it is shorter)
// into Bytes: enough to see what a large file ends with without reading it.
bool ReadFileTail(const std::string& path, std::size_t maxBytes, std::string& bytes, std::string& error);

// A file opened for reading at any place, closed when the object goes: a
// large file (a pack of many issues at the end of the program) is read a
// piece at a time, never whole.
class ReadOnlyFile {
public:
    ReadOnlyFile();
    ~ReadOnlyFile();
    ReadOnlyFile(ReadOnlyFile&&) noexcept;
    ReadOnlyFile& operator=(ReadOnlyFile&&) noexcept;
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    // Opens Path; false with the reason in Error.
    bool Open(const std::string& path, std::string& error);
    std::uint64_t Size() const { return size_; }
    // Reads up to Count bytes at Offset into To; answers how many came
    // (fewer at the end of the file, 0 on a failed read).
    std::size_t ReadAt(std::uint64_t offset, char* to, std::size_t count);

private:
    struct Stream;
    std::unique_ptr<Stream> stream_;
    std::uint64_t size_ = 0;
};

// The folders in Folder (not the files, not "." or ".."), in name order.
// Answers false with the reason in Error when it cannot be read.
bool ListFolders(const std::string& folder, std::vector<std::string>& names, std::string& error);

// One plain file of a folder: its name and size.
struct FolderFile {
    std::string Name;
    std::uintmax_t Size = 0;
};

// The plain files of Folder (no folders, no links to folders), in name
// order. Answers false with the reason in Error when it cannot be read.
bool ListFiles(const std::string& folder, std::vector<FolderFile>& files, std::string& error);

// Whether Path names a folder.
bool IsFolder(const std::string& path);

// Whether Path names something that is not a folder.
bool IsFile(const std::string& path);

// Renames From to To, replacing a file To.
bool RenameReplacing(const std::string& from, const std::string& to, std::string& error);

// Removes the file Path; answers whether it was removed.
bool RemoveFile(const std::string& path);

// Makes the new folder Path, that only this user may enter. Fails when
// anything of that name exists, and then says so in Exists.
bool MakePrivateFolder(const std::string& path, bool& exists, std::string& error);

// Removes the folder Path with everything in it, following no link;
// answers whether all of it went.
bool RemoveFolderTree(const std::string& path);

// The same two for a signal or console-control handler: no allocation, no
// locks, results not examined.
void RemoveFileNow(const char* path) noexcept;
void RemoveFolderNow(const char* path) noexcept;

// The user's temporary folder, absolute, with a trailing separator.
std::string TemporaryFolder();

// Sets the environment variable Name to Value for this process (and any it
// starts).
void SetVariable(const std::string& name, const std::string& value);

// The current folder, absolute, with a trailing separator; empty when the
// system cannot say.
std::string CurrentFolder();

// --- The running executable ----------------------------------------------------------

// Its full path; Argv0 made absolute where the system cannot say.
std::string ExecutablePath(const char* argv0);

// Whether Path names the running executable: the same file, whatever name
// or link leads to it.
bool IsRunningExecutable(const std::string& path);

// --- Other programs ---------------------------------------------------------------------

// Runs the program Path with Args (Args[0] is its name) on this program's
// standard input and output, waits for it and answers its exit status;
// -1, with the reason in Error, when it cannot be started (or the platform
// starts no programs).
int RunProgram(const std::string& path, const std::vector<std::string>& args, std::string& error);

// Lets everyone run the file Path (a magazine just written).
bool MakeExecutable(const std::string& path, std::string& error);

// --- Names in the system's character set ---------------------------------------------

// The character set the system spells texts and file names in, as its C
// library names it ("UTF-8", "ISO-8859-15", "ANSI_X3.4-1968" for plain
// ASCII): the code set of the reader's locale on POSIX (the program's own
// locale is kept), the program's 8-bit code page on Windows, UTF-8 in a
// browser. Empty when the reader's locale is one the C library does not have.
std::string SystemCharset();

// The local time now, as a log writes it: "2026-12-10 21:05:09".
std::string LocalTimeStamp();

// Utf8 (a name in UTF-8) spelt in the character set Charset, as SystemCharset
// gave it. Answers false with a short reason in Error when Charset cannot
// hold one of its characters, or is unknown to the system.
bool NameFromUtf8(const std::string& utf8, const std::string& charset, std::string& name, std::string& error);

// --- Shared libraries ----------------------------------------------------------------

// The file name of the shared library Base on this platform ("soundlib" is
// "soundlib.so" or "soundlib.dll").
std::string LibraryFileName(const std::string& base);

// Loads the library file Path (a path, never a name to search for).
// Nullptr, with the system's text in Error, when it cannot be loaded.
void* OpenLibrary(const std::string& path, std::string& error);

// The address of the entry point Name; nullptr, with the system's text in
// Error, when the library has none.
void* LibrarySymbol(void* library, const char* name, std::string& error);

// Unloads a library that OpenLibrary loaded.
void CloseLibrary(void* library);

// --- Folders of runs that were killed --------------------------------------------------

// This process as a working folder records its owner: its id and the time it
// started, on one line ("4242 918273\n"), so that a later run can tell the
// owner gone even when its id has been given to another process since.
std::string ProcessStamp();

// What a killed run's folder says about a save it had in progress: the
// content of its file SaveRecord, read before the folder goes.
using SaveRecordHandler = void (*)(const std::string& content);

// Removes from the folder Base every folder whose name is Prefix followed by
// Letters letters or digits, that belongs to this user, is no link, and holds
// a file Record with the stamp of a process that no longer runs; with
// everything in it, following no link. Folders without a readable stamp (a
// run that is just starting), of other users, links and everything else are
// left as they are. Before such a folder goes, its file SaveRecord, when it
// is a plain file of this user (no link), is handed to OnSaveRecord.
void RemoveAbandonedFolders(const std::string& base, const std::string& prefix, std::size_t letters,
                            const std::string& record, const std::string& saveRecord, SaveRecordHandler onSaveRecord);

// --- Faults ---------------------------------------------------------------------------

// The kinds of system call on files and folders.
enum class FileOp { Create, Open, Read, Write, Sync, Close, Rename, Remove, MakeFolder, OpenFolder, LoadLibrary };

// The error number (errno) that the file call Op must fail with before it
// reaches the system; 0 lets it go ahead. The program links the answer 0
// (faults_none.cpp); the unit tests link a counter in its place that fails
// a chosen call (fault_counter.h).
int InjectedFault(FileOp op);

}  // namespace sys
