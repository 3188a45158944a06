// The fault run: one whole reading session of the magazine on the memory
// console, played first without faults to count its file calls N, then once
// for every n from 1 to N with call n failing, for each of the errors a disk
// or a system gives (ENOSPC, EIO, EACCES, EMFILE), once and from then on.
// After every run: the program ended through one of its exits (X, or the
// fatal message), never a crash, a sanitizer report or a hang; the reader's
// files are whole (a save is the whole new file or the old one); nothing is
// left in the temporary folder; the console was given back.
//
// Each session runs in a process of its own, forked from a copy of this test
// program that serves the sessions of one folder: the program's exits end
// that process. The copy lies in a folder of its own, since the gallery saves
// beside the program.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "app/program.h"
#include "console/con_memory.h"
#include "key_script.h"
#include "music/music.h"
#include "sys/fault_counter.h"
#include "sys/resources.h"

namespace fs = std::filesystem;

namespace {

// The child's orders: "N ERROR MODE REPORT", N 0 for a clean run.
constexpr const char* PlanVariable = "QUIX_FAULT_RUN";

// Ways a child can end besides the program's own exits.
constexpr int HangCode = 87;       // the virtual clock ran past every key
constexpr int ExhaustedCode = 88;  // a read found no key without waiting for one
constexpr int SanitizerCode = 89;  // given to the sanitizers in the child's environment

// Virtual time: the first key comes after the logo and the menu's wipe, the
// steps far enough apart for any screen to be drawn at the default pace.
constexpr uint32_t FirstKey = 30000;
constexpr uint32_t Gap = 10000;

struct Step {
    const char* what;  // where the reader stands when pressing Keys
    const char* keys;  // a key script (key_script.h)
};

// The session, as a reader plays it.
const std::vector<Step>& Session() {
    static const std::vector<Step> steps = {
        {"main menu", "<Down><Enter>"},  // articles
        {"articles menu", "<Enter>"},    // the first article
        {"article", "<PgDn>"},
        {"article, a page on", "<PgDn>"},
        {"article, two pages on", "<C-f>tracker<Enter>y"},
        {"article, found", "<C-s>saved.txt<Enter>y"},  // a new name
        {"article, saved", "<C-s>old.txt<Enter>y"},    // an existing name
        {"article, saved again", "<Esc>"},
        {"articles menu again", "<End><Enter>"},      // [ b a c k ]
        {"main menu, on articles", "<Down><Enter>"},  // the gallery
        {"gallery", "<Enter>"},                       // the first artwork
        {"artwork", "e"},
        {"gallery save dialog", "<Enter>y"},  // the proposed name
        {"gallery again", "<End><Enter>"},    // back
        {"main menu, on the gallery", "t"},
        {"track menu", "<Down><Enter>"},                     // the second track
        {"track menu, second track", "<End><Enter>"},        // [ c l o s e ]
        {"main menu after the tracks", "<End><Up><Enter>"},  // about, above exit
        {"about", "<PgDn>"},
        {"about, a page on", "<Esc>"},
        {"main menu, on about", "x"},
    };
    return steps;
}

uint32_t StepTime(std::size_t i) { return FirstKey + static_cast<uint32_t>(i) * Gap; }

// A reader who finds the program still running after the script presses
// Esc a few times and X; past that the run counts as hung.
uint32_t RescueTime() { return StepTime(Session().size()) + 2 * Gap; }
uint32_t HangTime() { return RescueTime() + 4 * Gap; }

// --- The child ------------------------------------------------------------------------

struct ChildReport {
    std::string path;
    std::vector<std::string> screens;  // the screen as each step's keys came
};

ChildReport& Report() {
    static ChildReport report;
    return report;
}

std::string ScreenText() {
    std::string text;
    for (int row = 0; row < 25; ++row) text += memcon::RowText(row) + "\n";
    return text;
}

// Written on the way out of the process, after the program's own clean-up:
// the calls counted, the calls refused, whether the console was given back,
// then the screens of the steps.
void WriteReport() {
    std::ofstream out(Report().path, std::ios::binary | std::ios::trunc);
    out << faults::Calls() << ' ' << faults::Refused() << ' ' << (memcon::Opened() ? "held" : "given-back") << '\n';
    for (const std::string& screen : Report().screens) out << "--- step\n" << screen;
}

void WatchTheClock() {
    static std::size_t seen = 0;
    static bool rescued = false;
    const uint32_t now = memcon::Now();
    while (seen < Session().size() && now >= StepTime(seen)) {
        Report().screens.push_back(ScreenText());
        ++seen;
    }
    if (!rescued && now >= RescueTime()) {
        rescued = true;
        QueueKeys("<Esc><Esc><Esc>x", now);
    }
    if (now >= HangTime()) {
        std::fprintf(stderr, "fault run: still running at virtual time %u\n", now);
        WriteReport();
        std::_Exit(HangCode);
    }
}

// Plays the session with call N failing; never returns.
[[noreturn]] void PlaySession(std::uint64_t n, int error, const std::string& mode) {
    memcon::Reset();
    for (std::size_t i = 0; i < Session().size(); ++i) QueueKeys(Session()[i].keys, StepTime(i));
    memcon::OnClockMoved(WatchTheClock);
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    ::alarm(120);  // a hang outside the virtual clock ends the child too
    std::atexit(WriteReport);
    faults::Plan(n, error, mode == "once" ? faults::Mode::Once : faults::Mode::FromThenOn);

    std::string name = "quixmag";
    char* argv[] = {name.data(), nullptr};
    try {
        RunMagazine(1, argv);
    } catch (const memcon::InputExhausted&) {
        WriteReport();
        std::_Exit(ExhaustedCode);
    }
    std::exit(0);  // the exit entry of the main menu returns here
}

// Reads one line from Fd; false at its end.
bool ReadLine(int fd, std::string& line) {
    line.clear();
    char ch = 0;
    for (;;) {
        const ssize_t n = ::read(fd, &ch, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        if (ch == '\n') return true;
        line += ch;
    }
}

void WriteLine(int fd, const std::string& line) {
    const std::string text = line + "\n";
    if (::write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) std::_Exit(126);
}

// A slot's server: started once from the slot's copy of this program (so
// that the program's folder is the slot's), in the slot's current and
// temporary folders. For each line "N ERROR MODE" it reads, a forked child
// plays the session, its output going to the log; the child's wait status
// goes back as a line. Forking spares every session the start of a process.
TEST(FaultRunChild, Server) {
    const char* plan = std::getenv(PlanVariable);
    if (plan == nullptr) GTEST_SKIP() << "started only by FaultRun.EveryFileCallFailsInTurn";
    std::istringstream words(plan);
    int in = -1, out = -1;
    std::string log;
    words >> in >> out >> Report().path >> log;
    ASSERT_FALSE(log.empty()) << plan;
    std::string line;
    while (ReadLine(in, line)) {
        std::istringstream orders(line);
        std::uint64_t n = 0;
        int error = 0;
        std::string mode;
        orders >> n >> error >> mode;
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(in);
            ::close(out);
            const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
            if (fd < 0) std::_Exit(126);
            ::dup2(fd, 1);
            ::dup2(fd, 2);
            PlaySession(n, error, mode);
        }
        int status = 0;
        while (child > 0 && ::waitpid(child, &status, 0) < 0 && errno == EINTR) {}
        WriteLine(out, std::to_string(child > 0 ? status : -1));
    }
    std::_Exit(0);
}

// --- The counter -------------------------------------------------------------------

TEST(FaultCounter, CallNFailsWithTheChosenErrorOnceOrFromThenOn) {
    char pattern[] = "/tmp/qxfault_XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string file = std::string(pattern) + "/a";
    sys::File handle;
    bool exists = false;
    std::string error;
    const char data[] = "abc";

    faults::Plan(2, EACCES, faults::Mode::Once);
    EXPECT_TRUE(sys::CreateNewFile(file, sys::Access::Private, handle, exists, error));  // call 1
    EXPECT_FALSE(sys::WriteAll(handle, data, 3, error));                                 // call 2
    EXPECT_EQ(error, std::strerror(EACCES));
    EXPECT_TRUE(sys::WriteAll(handle, data, 3, error));  // call 3: once means once
    EXPECT_EQ(faults::Calls(), 3u);
    EXPECT_EQ(faults::Refused(), 1u);
    EXPECT_TRUE(sys::CloseFile(handle, error));
    EXPECT_TRUE(sys::RemoveFile(file));

    faults::Plan(2, ENOSPC, faults::Mode::FromThenOn);
    EXPECT_TRUE(sys::CreateNewFile(file, sys::Access::Private, handle, exists, error));
    EXPECT_FALSE(sys::WriteAll(handle, data, 3, error));
    EXPECT_EQ(error, std::strerror(ENOSPC));
    EXPECT_FALSE(sys::SyncFile(handle, error));
    EXPECT_FALSE(sys::CloseFile(handle, error)) << "refused, though the handle is closed";
    EXPECT_FALSE(handle.Valid());
    EXPECT_TRUE(sys::RemoveFile(file)) << "removals after call N go through";
    EXPECT_EQ(faults::Refused(), 3u);

    faults::Plan(1, EIO, faults::Mode::FromThenOn);
    EXPECT_FALSE(sys::RemoveFile(std::string(pattern) + "/none")) << "call N itself fails, a removal too";
    EXPECT_EQ(faults::Refused(), 1u);
    faults::Clear();
    EXPECT_TRUE(sys::RemoveFolderTree(pattern));
    EXPECT_EQ(faults::Refused(), 0u);
}

// --- The parent ---------------------------------------------------------------------

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteAll(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::vector<std::string> Names(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string ResourceText(const char* name) {
    const ResourceData* r = FindResource(name);
    return r ? std::string(reinterpret_cast<const char*>(r->Data), r->Size) : std::string();
}

// What the viewer saves of a text: every line, ended by CR LF.
std::string SavedText(const std::string& text) {
    std::string out;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        out += line + "\r\n";
        start = end + 1;
    }
    return out;
}

const std::string OldNotes = "the reader's own notes, kept for years\r\n";
const std::string OtherFile = std::string("a file the session never names\n") + std::string(3000, 'q');

struct Outcome {
    int status = 0;
    std::string log;     // the child's output
    std::string report;  // its report, empty when it wrote none
    std::uint64_t calls = 0;
    std::uint64_t refused = 0;
    bool givenBack = false;
    std::vector<std::string> screens;
};

// Where one session plays: a program folder with the copy of this program,
// the reader's current folder, the temporary folder, the child's report and
// output. Several slots play at once: a session mostly waits for the sound
// driver's thread.
struct Slot {
    fs::path base, program, reader, tmp, exe, report, log;
    pid_t server = -1;
    int orders = -1;   // to the server
    int answers = -1;  // from it
    bool playing = false;
    std::uint64_t n = 0;
    int error = 0;
    const char* mode = "once";
};

class FaultRun : public testing::Test {
protected:
    static constexpr int Slots = 12;

    void SetUp() override {
        std::error_code ec;
        self_ = fs::read_symlink("/proc/self/exe", ec);
        ASSERT_FALSE(ec) << "the fault run needs /proc/self/exe";
        // Beside this program, so that the copies can be hard links.
        std::string pattern = (self_.parent_path() / "fault-run-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr) << std::strerror(errno);
        base_ = pattern;
        news_ = ResourceText("news");
        art_ = ResourceText("art1");
        ASSERT_FALSE(news_.empty());
        ASSERT_FALSE(art_.empty());
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(base_, ignored);
    }

    Slot MakeSlot(int i) {
        Slot slot;
        slot.base = base_ / std::to_string(i);
        slot.program = slot.base / "program";
        slot.reader = slot.base / "reader";
        slot.tmp = slot.base / "tmp";
        slot.exe = slot.program / "quixmag";
        slot.report = slot.base / "report";
        slot.log = slot.base / "log";
        fs::create_directories(slot.program);
        std::error_code ec;
        fs::create_hard_link(self_, slot.exe, ec);
        if (ec) fs::copy_file(self_, slot.exe);
        fs::create_directories(slot.reader);
        fs::create_directories(slot.tmp);
        StartServer(slot);
        return slot;
    }

    static void StartServer(Slot& slot) {
        int orders[2], answers[2];
        ASSERT_EQ(::pipe2(orders, O_CLOEXEC), 0);
        ASSERT_EQ(::pipe2(answers, O_CLOEXEC), 0);
        const std::string plan = std::to_string(orders[0]) + " " + std::to_string(answers[1]) + " " +
                                 slot.report.string() + " " + slot.log.string();
        slot.server = ::fork();
        if (slot.server == 0) {
            if (::chdir(slot.reader.c_str()) != 0) ::_exit(126);
            ::fcntl(orders[0], F_SETFD, 0);
            ::fcntl(answers[1], F_SETFD, 0);
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 1);
            ::dup2(null, 2);
            ::setenv(PlanVariable, plan.c_str(), 1);
            ::setenv("TMPDIR", slot.tmp.c_str(), 1);
            const char* asan = std::getenv("ASAN_OPTIONS");
            const std::string options =
                std::string(asan != nullptr ? asan : "") + ":exitcode=" + std::to_string(SanitizerCode);
            ::setenv("ASAN_OPTIONS", options.c_str(), 1);
            ::setenv("UBSAN_OPTIONS", ("halt_on_error=1:exitcode=" + std::to_string(SanitizerCode)).c_str(), 1);
            const std::string program = slot.exe.string();
            ::execl(program.c_str(), program.c_str(), "--gtest_filter=FaultRunChild.Server", nullptr);
            ::_exit(127);
        }
        ::close(orders[0]);
        ::close(answers[1]);
        slot.orders = orders[1];
        slot.answers = answers[0];
        ASSERT_GT(slot.server, 0) << "fork: " << std::strerror(errno);
    }

    static void StopServer(Slot& slot) {
        if (slot.server <= 0) return;
        ::close(slot.orders);
        ::close(slot.answers);
        int status = 0;
        while (::waitpid(slot.server, &status, 0) < 0 && errno == EINTR) {}
        slot.server = -1;
    }

    // The reader's folder as it stands before each run.
    static void LayOutTheReadersFiles(const Slot& slot) {
        // Emptied, not made anew: the server stands in the reader's folder.
        for (const fs::path& folder : {slot.reader, slot.tmp})
            for (const std::string& name : Names(folder)) fs::remove_all(folder / name);
        WriteAll(slot.reader / "old.txt", OldNotes);
        WriteAll(slot.reader / "other.dat", OtherFile);
        for (const std::string& name : Names(slot.program))
            if (name != "quixmag") fs::remove(slot.program / name);
        fs::remove(slot.report);
    }

    // Starts the session in Slot with call N failing.
    static void Start(Slot& slot, std::uint64_t n, int error, const char* mode) {
        LayOutTheReadersFiles(slot);
        slot.n = n;
        slot.error = error;
        slot.mode = mode;
        slot.playing = true;
        WriteLine(slot.orders, std::to_string(n) + " " + std::to_string(error) + " " + mode);
    }

    // The wait status of the session playing in Slot, once it ended.
    static int Answer(const Slot& slot) {
        std::string line;
        if (!ReadLine(slot.answers, line)) return -1;
        return std::stoi(line);
    }

    // What the child of Slot left, once it ended with Status.
    static Outcome Collect(Slot& slot, int status) {
        slot.playing = false;
        Outcome outcome;
        outcome.status = status;
        outcome.log = ReadAll(slot.log);
        outcome.report = ReadAll(slot.report);
        std::istringstream lines(outcome.report);
        std::string console;
        lines >> outcome.calls >> outcome.refused >> console;
        outcome.givenBack = console == "given-back";
        std::string line;
        std::getline(lines, line);
        while (std::getline(lines, line)) {
            if (line == "--- step")
                outcome.screens.emplace_back();
            else if (!outcome.screens.empty())
                outcome.screens.back() += line + "\n";
        }
        return outcome;
    }

    // Everything the issue asks of a run; Which names the run in messages.
    void CheckRun(const Slot& slot, const Outcome& o, const std::string& which) {
        SCOPED_TRACE(which);
        const bool exited = WIFEXITED(o.status);
        const int code = exited ? WEXITSTATUS(o.status) : -1;
        EXPECT_TRUE(exited && (code == 0 || code == 1))
            << (exited ? "exit code " + std::to_string(code) : "ended by signal " + std::to_string(WTERMSIG(o.status)))
            << "\n"
            << o.log.substr(0, 3000);
        if (exited && code == 1) {
            EXPECT_NE(o.log.find("quixmag: "), std::string::npos) << "an exit without a message";
        }
        EXPECT_EQ(o.log.find("Sanitizer"), std::string::npos) << o.log.substr(0, 3000);
        EXPECT_EQ(o.log.find("runtime error"), std::string::npos) << o.log.substr(0, 3000);
        EXPECT_FALSE(o.report.empty()) << "the process ended before its exit handlers ran";
        EXPECT_TRUE(o.givenBack) << "the console is still held";

        // The reader's files: whole and old, or whole and new.
        EXPECT_EQ(ReadAll(slot.reader / "other.dat"), OtherFile);
        const std::string old = ReadAll(slot.reader / "old.txt");
        EXPECT_TRUE(old == OldNotes || old == SavedText(news_)) << "old.txt is neither the old nor the new text:\n"
                                                                << old.substr(0, 200);
        // The gallery saves in the current folder when the program's folder
        // seems not writable, as it may when the probe is refused.
        for (const std::string& name : Names(slot.reader)) {
            EXPECT_TRUE(name == "old.txt" || name == "other.dat" || name == "saved.txt" || name == "ansi_art1.ans")
                << "left: " << name;
            if (name == "saved.txt") {
                EXPECT_EQ(ReadAll(slot.reader / name), SavedText(news_)) << "a partial save";
            }
            if (name == "ansi_art1.ans") {
                EXPECT_EQ(ReadAll(slot.reader / name), art_) << "a partial save";
            }
        }
        for (const std::string& name : Names(slot.program)) {
            EXPECT_TRUE(name == "quixmag" || name == "ansi_art1.ans") << "left beside the program: " << name;
            if (name == "ansi_art1.ans") {
                EXPECT_EQ(ReadAll(slot.program / name), art_) << "a partial save";
            }
        }
        const std::vector<std::string> left = Names(slot.tmp);
        EXPECT_TRUE(left.empty()) << "left in the temporary folder: " << left.front()
                                  << (left.size() > 1 ? " and more" : "");
    }

    fs::path self_, base_;
    std::string news_, art_;
};

// The screen at a step holds Text.
#define EXPECT_SCREEN_AT(outcome, step, text)                                                                          \
    EXPECT_NE((outcome).screens.at(step).find(text), std::string::npos)                                                \
        << "at step " << (step) << " (" << Session()[step].what << "):\n"                                              \
        << (outcome).screens.at(step)

TEST_F(FaultRun, EveryFileCallFailsInTurn) {
    const auto started = std::chrono::steady_clock::now();
    std::vector<Slot> slots;
    for (int i = 0; i < Slots; ++i) slots.push_back(MakeSlot(i));
    struct Servers {
        std::vector<Slot>& slots;
        ~Servers() {
            for (Slot& slot : slots) StopServer(slot);
        }
    } servers{slots};

    Slot& first = slots.front();
    Start(first, 0, 0, "once");
    const Outcome clean = Collect(first, Answer(first));
    CheckRun(first, clean, "the clean run");
    ASSERT_TRUE(WIFEXITED(clean.status) && WEXITSTATUS(clean.status) == 0) << clean.log;
    EXPECT_EQ(clean.refused, 0u);
    // The session went where the script says, as the content reads.
    ASSERT_EQ(clean.screens.size(), Session().size());
    EXPECT_SCREEN_AT(clean, 0, "a r t i c l e s");
    EXPECT_SCREEN_AT(clean, 2, "scene news, issue #1");
    EXPECT_SCREEN_AT(clean, 12, "ansi_art1.ans");
    EXPECT_SCREEN_AT(clean, 15, "Tracks...");
    EXPECT_SCREEN_AT(clean, 18, "ABOUT QUIX MAGAZINE");
    EXPECT_EQ(ReadAll(first.reader / "saved.txt"), SavedText(news_));
    EXPECT_EQ(ReadAll(first.reader / "old.txt"), SavedText(news_));
    EXPECT_EQ(ReadAll(first.program / "ansi_art1.ans"), art_);
    const std::uint64_t calls = clean.calls;
    ASSERT_GT(calls, 20u) << "the session makes the program's file calls";
    const double cleanSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    struct Run {
        std::uint64_t n;
        int error;
        const char* mode;
    };
    std::vector<Run> runs;
    for (const int error : {ENOSPC, EIO, EACCES, EMFILE})
        for (const char* mode : {"once", "from-then-on"})
            for (std::uint64_t n = 1; n <= calls; ++n) runs.push_back({n, error, mode});

    std::size_t next = 0;
    int playing = 0;
    bool failed = false;  // the first failing runs tell the most: no more are started
    while (next < runs.size() || playing > 0) {
        for (Slot& slot : slots)
            if (!slot.playing && next < runs.size() && !failed) {
                Start(slot, runs[next].n, runs[next].error, runs[next].mode);
                ++next;
                ++playing;
            }
        if (playing == 0) break;
        std::vector<pollfd> answers;
        for (const Slot& slot : slots)
            if (slot.playing) answers.push_back({slot.answers, POLLIN, 0});
        if (::poll(answers.data(), answers.size(), -1) < 0) {
            if (errno == EINTR) continue;
            FAIL() << "poll: " << std::strerror(errno);
        }
        for (Slot& slot : slots) {
            const auto ready = std::find_if(answers.begin(), answers.end(),
                                            [&](const pollfd& p) { return p.fd == slot.answers && p.revents != 0; });
            if (!slot.playing || ready == answers.end()) continue;
            --playing;
            const Outcome o = Collect(slot, Answer(slot));
            const std::string which = "call " + std::to_string(slot.n) + " of " + std::to_string(calls) + " failing " +
                                      slot.mode + " with " + std::strerror(slot.error);
            const bool before = HasFailure();
            CheckRun(slot, o, which);
            EXPECT_GE(o.refused, 1u) << which << ": the call was never made";
            failed = failed || (!before && HasFailure());
        }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("fault run: N = %llu file calls in a clean session (%.2f s), %zu faulted runs, %.1f s in all\n",
                static_cast<unsigned long long>(calls), cleanSeconds, next, seconds);
}

}  // namespace
