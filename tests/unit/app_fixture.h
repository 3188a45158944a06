// Helpers for the tests of the viewer and the application: a private folder
// per test, whole-file reads and writes, and a screen filled with a pattern
// so that cells nobody drew can be told from drawn ones.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <optional>
#include <thread>
#include <string>
#include <vector>

#include "app/articles.h"
#include "app/magazine_run.h"
#include "app/program.h"
#include "app/resources.h"
#include "sys/workfiles.h"
#include "console/m_Console.h"
#include "console_fixture.h"

namespace apptest {

// A fresh folder under the system's temporary folder, removed with all it
// holds when the object goes.
class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "qxt_XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder with a trailing separator, the way ProgramDir is kept.
    std::string Slashed() const { return path_ + "/"; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }
    const std::string& Path() const { return path_; }

    // Names of the files in the folder, sorted.
    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(path_))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::string path_;
};

// Changes the working folder for the lifetime of the object.
class WorkingDir {
public:
    explicit WorkingDir(const std::string& dir) : old_(std::filesystem::current_path()) {
        std::filesystem::current_path(dir);
    }
    ~WorkingDir() {
        std::error_code ignored;
        std::filesystem::current_path(old_, ignored);
    }
    WorkingDir(const WorkingDir&) = delete;
    WorkingDir& operator=(const WorkingDir&) = delete;

private:
    std::filesystem::path old_;
};

inline std::string ReadFile(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::string& name, const std::string& bytes) {
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out << bytes;
}

inline bool Exists(const std::string& name) { return std::filesystem::exists(name); }

// Every cell of the 80x25 screen becomes Ch in attribute Attr.
inline void FillScreen(char ch, Byte attr) {
    for (int y = 1; y <= ScreenRows; ++y) WriteXY(1, y, attr, std::string(ScreenCols, ch));
}

// A menu that waits for a key the script does not hold animates forever;
// this ends such a test instead of letting the suite hang.
class Watchdog {
public:
    explicit Watchdog(std::chrono::seconds limit)
        : thread_([this, limit] {
              std::unique_lock<std::mutex> lock(mutex_);
              if (!done_cv_.wait_for(lock, limit, [this] { return done_; })) {
                  std::fprintf(stderr, "a menu is still waiting for a key the test never gives: aborting\n");
                  std::abort();
              }
          }) {}
    ~Watchdog() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        done_cv_.notify_one();
        thread_.join();
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

private:
    std::mutex mutex_;
    std::condition_variable done_cv_;
    bool done_ = false;
    std::thread thread_;
};

// A run of the magazine on the built-in issue, with the program-wide values
// as the program starts, ProgramDir a fresh folder, the current folder
// another one, and the run's working folder made in a third, private
// temporary folder (TMPDIR), so that the reader's files, the program's
// folder and the working files can be told apart. DisplaySpeed 0 skips the
// pauses of single screens. Everything is put back after the test.
class ProgramTest : public ConsoleTest {
protected:
    void SetUp() override {
        ConsoleTest::SetUp();
        ResetProgramWideValues();
        DisplaySpeed = 0;
        ProgramDir = program_.Slashed();
        std::string issueError;
        ASSERT_TRUE(run_.Magazine.TakeBuiltIn(issueError) && run_.Magazine.Open(run_.Magazine.Newest(), run_.Issue, issueError))
            << issueError;
        cwd_.emplace(work_.Path());
        const char* tmp = std::getenv("TMPDIR");
        if (tmp) oldTmp_ = tmp;
        setenv("TMPDIR", tmp_.Path().c_str(), 1);
        std::string error;
        ASSERT_TRUE(OpenWorkFolder(error)) << error;
    }
    void TearDown() override {
        RemoveWorkFolder();
        if (oldTmp_)
            setenv("TMPDIR", oldTmp_->c_str(), 1);
        else
            unsetenv("TMPDIR");
        cwd_.reset();
        ResetProgramWideValues();
        ConsoleTest::TearDown();
    }

    // Skips the test when a screen it needs is not in the executable yet.
    static bool Missing(std::initializer_list<const char*> names, std::string& which) {
        for (const char* name : names)
            if (FindResource(name) == nullptr) {
                which = name;
                return true;
            }
        return false;
    }

    // The bytes of an embedded resource.
    static std::string ResourceBytes(const std::string& name) {
        const ResourceData* r = FindResource(name);
        return r ? std::string(reinterpret_cast<const char*>(r->Data), r->Size) : std::string();
    }

    // A working file of this run, and the names of all of them but the
    // record of the run's owner, which stays as long as the folder.
    static std::string Working(const std::string& name) { return WorkFile(name); }
    static std::vector<std::string> WorkingFiles() {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(WorkFolder()))
            if (entry.path().filename() != "owner") names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    MagazineRun run_;
    TempDir program_;
    TempDir work_;  // the current folder
    TempDir tmp_;   // TMPDIR: holds the working folder and nothing else
    std::optional<WorkingDir> cwd_;
    std::optional<std::string> oldTmp_;
};

#define SKIP_WITHOUT(...)                                                                                              \
    do {                                                                                                               \
        std::string missing_;                                                                                          \
        if (Missing({__VA_ARGS__}, missing_)) GTEST_SKIP() << "resource " << missing_ << " is not there yet";          \
    } while (0)

}  // namespace apptest
