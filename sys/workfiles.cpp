#include "sys/workfiles.h"

#include <array>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <utility>
#include <vector>

namespace {

// Every name the program writes in its working folder is remembered here, so
// that a signal handler can remove them without listing the folder (which no
// async-signal-safe call can do). The program uses a few names.
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
    // Files outside the working folder that the program made and could not
    // remove at once (a probe, a failed save's temporary file): tried again
    // on the way out.
    std::vector<std::string> leftovers;
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

// Tries a few names for a unique folder or file before giving up.
constexpr int UniqueNameTries = 100;
constexpr const char* WorkFolderPrefix = "quixmag-";
constexpr std::size_t WorkFolderLetters = 8;
// The file of the working folder that names the run it belongs to.
constexpr const char* OwnerFile = "owner";
constexpr const char* SaveTempPrefix = ".quixmag-save-";
constexpr std::size_t SaveTempLetters = 8;
// The file of the working folder that names a save's temporary file while
// it exists, so that the next run can remove it if this one is killed.
constexpr const char* SaveRecordFile = "save";
constexpr const char* RefusedSelf = "that is the running program";

// Whether Name is exactly a save's temporary file name: the prefix and
// eight ASCII letters or digits.
bool IsSaveTempName(const std::string& name) {
    const std::string prefix = SaveTempPrefix;
    if (name.size() != prefix.size() + SaveTempLetters || name.compare(0, prefix.size(), prefix) != 0) return false;
    for (std::size_t i = prefix.size(); i < name.size(); ++i) {
        const char c = name[i];
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
    }
    return true;
}

// Whether Path is absolute: from the root, or on Windows from a drive
// ("C:\\") or a server ("\\\\server").
bool IsAbsolute(const std::string& path) {
    if (sys::PathSeparator == '/') return !path.empty() && path.front() == '/';
    const auto separator = [](char c) { return c == '\\' || c == '/'; };
    return (path.size() >= 3 && path[1] == ':' && separator(path[2])) ||
           (path.size() >= 2 && separator(path[0]) && separator(path[1]));
}

// Notes the temporary file Temp of a save in the working folder: its full
// path on one line. A save goes ahead when the note cannot be made.
void RecordSave(const std::string& temp) {
    const std::string folder = IsAbsolute(temp) ? std::string() : sys::CurrentFolder();
    if (!IsAbsolute(folder + temp)) return;
    const std::string note = folder + temp + '\n';
    std::string ignored;
    WriteWorkFile(WorkFile(SaveRecordFile), note.data(), note.size(), ignored);
}

void ForgetSave() { RemoveWorkFile(WorkFile(SaveRecordFile)); }

// A killed run's note of its save: the temporary file it names is removed,
// but only a whole note (one line, an absolute path) naming a file of
// exactly a save's temporary name; nothing else it says is acted on.
void RemoveRecordedSave(const std::string& record) {
    if (record.size() < 2 || record.back() != '\n') return;
    const std::string path = record.substr(0, record.size() - 1);
    if (path.find_first_of(std::string("\n\0", 2)) != std::string::npos) return;
    if (!IsAbsolute(path)) return;
    const std::size_t cut = path.find_last_of(std::string{'/', sys::PathSeparator});
    if (cut == std::string::npos || !IsSaveTempName(path.substr(cut + 1))) return;
    sys::RemoveFile(path);
}

void SetPendingSave(const std::string& path) {
    WorkState& w = Work();
    w.savePending = 0;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    w.pendingSave = path;
    std::atomic_signal_fence(std::memory_order_seq_cst);  // the path is whole before the flag says so
    w.savePending = 1;
}

void ClearPendingSave() { Work().savePending = 0; }

// Removes a file the program made outside its working folder; one that
// cannot be removed now is tried again at the end of the run.
void RemoveOwnFile(const std::string& path) {
    if (!sys::RemoveFile(path)) Work().leftovers.push_back(path);
}

// A removal the system refuses once (a passing I/O error) does not leave
// the working folder behind: the whole removal is tried again.
constexpr int FolderRemovalTries = 2;

// Writes a new file exclusively, synced to the disk when Sync is set; on any
// failure the file is removed again. Exists tells that the name was taken.
bool WriteNewFile(const std::string& path, std::string_view bytes, sys::Access access, bool sync, std::string& error,
                  bool& exists) {
    sys::File file;
    if (!sys::CreateNewFile(path, access, file, exists, error)) return false;
    bool ok = sys::WriteAll(file, bytes.data(), bytes.size(), error) && (!sync || sys::SyncFile(file, error));
    std::string closeError;
    if (!sys::CloseFile(file, closeError) && ok) {
        ok = false;
        error = closeError;
    }
    if (!ok) RemoveOwnFile(path);
    return ok;
}

// A folder of a unique name in Base, that only this user may enter.
bool MakeUniqueFolder(const std::string& base, std::string& made, std::string& error) {
    for (int i = 0; i < UniqueNameTries; ++i) {
        const std::string candidate = base + WorkFolderPrefix + RandomLetters(WorkFolderLetters);
        bool exists = false;
        if (sys::MakePrivateFolder(candidate, exists, error)) {
            made = candidate;
            return true;
        }
        if (!exists) return false;
    }
    error = "no free folder name";
    return false;
}

void RemoveAtExit() { RemoveWorkFolder(); }

}  // namespace

// --- The private working folder ---------------------------------------------

bool OpenWorkFolder(std::string& error) {
    RemoveWorkFolder();
    const std::string base = sys::TemporaryFolder();
    // Runs that were killed (SIGKILL, a power cut) could not remove their
    // folders: those whose process is gone are removed now.
    // A save such a run had in progress is removed first (its target is whole).
    sys::RemoveAbandonedFolders(base, WorkFolderPrefix, WorkFolderLetters, OwnerFile, SaveRecordFile,
                                RemoveRecordedSave);
    std::string made;
    if (!MakeUniqueFolder(base, made, error)) {
        error = "cannot make a working folder in " + base + ": " + error;
        return false;
    }
    WorkState& w = Work();
    w.bare = made;
    w.folder = sys::WithSeparator(made);
    w.scratch = std::make_unique<char[]>(w.folder.size() + MaxWorkName);
    w.nameCount = 0;
    std::atomic_signal_fence(std::memory_order_seq_cst);  // the paths are whole before the folder counts as open
    w.open = 1;
    static bool atExitSet = false;
    if (!atExitSet) atExitSet = std::atexit(RemoveAtExit) == 0;
    // Without its owner's name the folder is only never taken for a killed
    // run's: the run goes on.
    const std::string stamp = sys::ProcessStamp();
    std::string ignored;
    WriteWorkFile(WorkFile(OwnerFile), stamp.data(), stamp.size(), ignored);
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
    sys::RemoveFile(path);
    bool exists = false;
    return WriteNewFile(path, std::string_view(static_cast<const char*>(data), size), sys::Access::Private, false,
                        error, exists);
}

void RemoveWorkFile(const std::string& path) {
    if (!WorkName(path).empty()) sys::RemoveFile(path);
}

void RemoveWorkFolder() {
    WorkState& w = Work();
    for (const std::string& path : std::exchange(w.leftovers, {})) sys::RemoveFile(path);
    if (!w.open) return;
    const std::string bare = w.bare;
    w.open = 0;  // the signal path leaves the folder alone from here
    std::atomic_signal_fence(std::memory_order_seq_cst);
    for (int attempt = 0; attempt < FolderRemovalTries; ++attempt) {
        for (std::sig_atomic_t i = 0; i < w.nameCount; ++i)
            sys::RemoveFile(w.folder + w.names[static_cast<std::size_t>(i)].data());
        if (sys::RemoveFolderTree(bare)) break;  // anything else, links not followed
    }
    w.nameCount = 0;
    w.folder.clear();
    w.bare.clear();
}

void RemoveWorkFolderNow() noexcept {
    WorkState& w = Work();
    if (w.cleaning.test_and_set()) return;
    if (w.savePending) {
        sys::RemoveFileNow(w.pendingSave.c_str());
        w.savePending = 0;
    }
    if (w.open) {
        const std::size_t length = w.folder.size();
        char* path = w.scratch.get();
        std::memcpy(path, w.folder.data(), length);
        for (std::sig_atomic_t i = 0; i < w.nameCount; ++i) {
            const char* name = w.names[static_cast<std::size_t>(i)].data();
            std::memcpy(path + length, name, std::strlen(name) + 1);
            sys::RemoveFileNow(path);
        }
        sys::RemoveFolderNow(w.bare.c_str());
        w.open = 0;
    }
    w.cleaning.clear();
}

// --- Saves ----------------------------------------------------------------------

bool FolderWritable(const std::string& folder) {
    // Permissions do not tell (root, read-only mounts, network folders): a
    // file that is made exclusively and removed at once does.
    const std::string probe = folder + SaveTempPrefix + RandomLetters(SaveTempLetters);
    sys::File file;
    bool exists = false;
    std::string error;
    if (!sys::CreateNewFile(probe, sys::Access::Private, file, exists, error)) return false;
    sys::CloseFile(file, error);
    RemoveOwnFile(probe);
    return true;
}

bool WriteFileReplacing(const std::string& path, const std::string& bytes, std::string& error) {
    if (sys::IsRunningExecutable(path)) {
        error = RefusedSelf;
        return false;
    }
    const std::string folder = sys::FolderOf(path);
    for (int attempt = 0; attempt < UniqueNameTries; ++attempt) {
        const std::string temp = folder + SaveTempPrefix + RandomLetters(SaveTempLetters);
        // Noted before the file exists: a kill at any moment after leaves
        // the note for the next run.
        RecordSave(temp);
        SetPendingSave(temp);
        bool exists = false;
        if (!WriteNewFile(temp, bytes, sys::Access::Shared, true, error, exists)) {
            ClearPendingSave();
            if (exists) continue;  // another file has that name: try another
            ForgetSave();
            return false;
        }
        const bool renamed = sys::RenameReplacing(temp, path, error);
        if (!renamed) RemoveOwnFile(temp);
        ClearPendingSave();
        ForgetSave();
        return renamed;
    }
    ForgetSave();
    error = "no free temporary name";
    return false;
}
