// The magazine as a board's door: the two drop files (what is read from
// them, and the one line that refuses a file that cannot be served),
// telnet's framing on the caller's connection, the watch on the waits for
// keys, and the caller's time in virtual time: the notice a minute before
// the end, the end at the minutes left, the end after the idle time.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/door.h"
#include "app/drop_file.h"
#include "app/public_mode.h"
#include "app_fixture.h"
#include "console/con_memory.h"
#include "console/telnet.h"

namespace {

using apptest::TempDir;
using apptest::WriteFile;

std::string Door32(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
}

// A DOOR32.SYS as a telnet board writes it, with Changes at (1-based) lines.
std::string Door32With(std::vector<std::pair<int, std::string>> changes = {}) {
    std::vector<std::string> lines = {"2", "7", "38400", "Harbour Board 2.1", "17", "Ann Reader",
                                      "sea dog", "20", "42", "1", "3"};
    for (const auto& [line, value] : changes) lines[static_cast<std::size_t>(line - 1)] = value;
    return Door32(lines);
}

// A DOOR.SYS of 52 lines with Port, the minutes left and the graphics.
std::string DoorSys(const std::string& port, const std::string& minutes, const std::string& graphics,
                    int lines = 52) {
    std::vector<std::string> all;
    for (int n = 1; n <= lines; ++n) all.push_back("value " + std::to_string(n));
    all[0] = port;
    all[9] = "Ann Reader";
    if (lines >= 19) all[18] = minutes;
    if (lines >= 20) all[19] = graphics;
    return Door32(all);
}

std::string Refusal(const std::string& text) {
    DropFile drop;
    std::string error;
    EXPECT_FALSE(ParseDropFile(text, "/board/DOOR32.SYS", drop, error)) << text;
    return error;
}

std::string Filtered(telnet::InputFilter& filter, const std::string& in) {
    std::string out;
    filter.Take(in, out);
    return out;
}

}  // namespace

TEST(DropFile, Door32GivesTheConnectionTheMinutesTheEmulationAndTheCaller) {
    DropFile drop;
    std::string error;
    ASSERT_TRUE(ParseDropFile(Door32With(), "DOOR32.SYS", drop, error)) << error;
    EXPECT_TRUE(drop.Door32);
    EXPECT_EQ(drop.Connection, DropConnection::Telnet);
    EXPECT_EQ(drop.Handle, 7);
    EXPECT_EQ(drop.MinutesLeft, 42);
    EXPECT_TRUE(drop.Ansi);
    EXPECT_EQ(drop.Caller, "sea dog");
    // Type 0 is the board's own console; emulation 0 is plain ASCII, 1 to 4
    // all draw in ANSI; LF line ends and padding are read the same.
    std::string lfOnly = Door32With({{1, "0"}, {10, "0"}});
    for (std::size_t at; (at = lfOnly.find('\r')) != std::string::npos;) lfOnly.erase(at, 1);
    ASSERT_TRUE(ParseDropFile(lfOnly, "DOOR32.SYS", drop, error)) << error;
    EXPECT_EQ(drop.Connection, DropConnection::Local);
    EXPECT_FALSE(drop.Ansi);
    for (const char* emulation : {"2", "3", "4"}) {
        ASSERT_TRUE(ParseDropFile(Door32With({{10, emulation}, {2, " 12 "}}), "D", drop, error)) << error;
        EXPECT_TRUE(drop.Ansi) << emulation;
        EXPECT_EQ(drop.Handle, 12);
    }
}

TEST(DropFile, DoorSysIsToldApartByItsPortLine) {
    DropFile drop;
    std::string error;
    ASSERT_TRUE(ParseDropFile(DoorSys("COM0:", "30", "GR"), "DOOR.SYS", drop, error)) << error;
    EXPECT_FALSE(drop.Door32);
    EXPECT_EQ(drop.Connection, DropConnection::Local);
    EXPECT_EQ(drop.MinutesLeft, 30);
    EXPECT_TRUE(drop.Ansi);
    EXPECT_EQ(drop.Caller, "Ann Reader");
    ASSERT_TRUE(ParseDropFile(DoorSys("COM1:", "5", "NG"), "DOOR.SYS", drop, error)) << error;
    EXPECT_EQ(drop.Connection, DropConnection::Port);
    EXPECT_EQ(drop.Handle, 0) << "a caller on a port is on standard input and output";
    EXPECT_FALSE(drop.Ansi);
    // Older boards write fewer lines; the door needs the first twenty.
    ASSERT_TRUE(ParseDropFile(DoorSys("COM2:", "5", "7E", 20), "DOOR.SYS", drop, error)) << error;
    EXPECT_FALSE(drop.Ansi);
}

TEST(DropFile, EachFaultIsOneLineNamingTheFileAndTheLine) {
    EXPECT_EQ(Refusal(""), "/board/DOOR32.SYS line 1: missing: the file is empty");
    EXPECT_EQ(Refusal("2\r\n7\r\n38400\r\n"), "/board/DOOR32.SYS line 4: missing: the file ends after 3 of its 11 lines");
    EXPECT_EQ(Refusal(Door32With({{1, "1"}})),
              "/board/DOOR32.SYS line 1: the caller is on a serial line, which this door does not serve");
    EXPECT_EQ(Refusal(Door32With({{1, "telnet"}})),
              "/board/DOOR32.SYS line 1: the connection type \"telnet\" is not a number from 0 to 2");
    EXPECT_EQ(Refusal(Door32With({{1, "3"}})),
              "/board/DOOR32.SYS line 1: the connection type \"3\" is not a number from 0 to 2");
    for (const char* handle : {"", "-4", "0x1c", "12 13", "99999999999999999999"})
        EXPECT_NE(Refusal(Door32With({{2, handle}})).find("/board/DOOR32.SYS line 2: the connection's handle"),
                  std::string::npos)
            << handle;
    EXPECT_NE(Refusal(Door32With({{9, "lots"}})).find("line 9: the minutes left \"lots\""), std::string::npos);
    EXPECT_NE(Refusal(Door32With({{10, "5"}})).find("line 10: the emulation \"5\""), std::string::npos);
    EXPECT_EQ(Refusal(DoorSys("COM1:", "5", "GR", 19)),
              "/board/DOOR32.SYS line 20: missing: the file ends after 19 of its 20 lines");
    EXPECT_NE(Refusal(DoorSys("COMX:", "5", "GR")).find("line 1: the port \"COMX:\""), std::string::npos);
    EXPECT_NE(Refusal(DoorSys("COM1:", "5", "RIP")).find("line 20: the graphics \"RIP\""), std::string::npos);
    for (const std::string& error : {Refusal(""), Refusal(Door32With({{2, "x\ny"}}))})
        EXPECT_EQ(error.find('\n'), std::string::npos) << "one line: " << error;
}

TEST(DropFile, AFileThatCannotBeReadOrIsNoDropFileIsRefused) {
    TempDir dir;
    DropFile drop;
    std::string error;
    EXPECT_FALSE(ReadDropFile(dir / "DOOR32.SYS", drop, error));
    EXPECT_EQ(error.rfind(dir / "DOOR32.SYS: the drop file cannot be read", 0), 0u) << error;
    WriteFile(dir / "big", std::string(200 * 1024, '7'));
    EXPECT_FALSE(ReadDropFile(dir / "big", drop, error));
    EXPECT_NE(error.find("is no drop file"), std::string::npos) << error;
    WriteFile(dir / "DOOR32.SYS", Door32With());
    EXPECT_TRUE(ReadDropFile(dir / "DOOR32.SYS", drop, error)) << error;
}

TEST(Telnet, CommandsAreTakenOutOfTheKeysWhereverTheReadsSplitThem) {
    const std::string iac = "\xff";
    telnet::InputFilter f;
    // Option requests, a one-byte command, a window-size subnegotiation
    // holding a 255 (doubled inside it) and IAC IAC, one data byte 255.
    const std::string in = "a" + iac + "\xfd\x01" + "b" + iac + "\xf1" + "c" + iac + std::string("\xfa\x1f\x00\x50", 4) +
                           iac + iac + "\x19" + iac + "\xf0" + "d" + iac + iac + "e";
    EXPECT_EQ(Filtered(f, in), "abcd\xff" "e");
    for (std::size_t split = 1; split < in.size(); ++split) {
        telnet::InputFilter g;
        const std::string first = Filtered(g, in.substr(0, split));
        EXPECT_EQ(first + Filtered(g, in.substr(split)), "abcd\xff" "e") << split;
    }
    // A long subnegotiation is dropped without being kept.
    telnet::InputFilter h;
    EXPECT_EQ(Filtered(h, iac + "\xfa\x18" + std::string(100000, 'x') + iac + "\xf0" + "k"), "k");
}

TEST(Telnet, EnterIsOneCrHoweverTheClientEndsTheLine) {
    telnet::InputFilter f;
    EXPECT_EQ(Filtered(f, std::string("a\r\nb\r", 5) + std::string(1, '\0') + "c\rd"), "a\rb\rc\rd");
    EXPECT_EQ(Filtered(f, "\r"), "\r");
    EXPECT_EQ(Filtered(f, "\n"), "") << "the LF of a CR LF split over two reads";
    EXPECT_EQ(Filtered(f, "\n"), "\n") << "an LF alone is a key";
}

TEST(Telnet, A255SentIsDoubled) {
    EXPECT_EQ(telnet::EscapeOutput("a\xff" "b\xff\xff"), "a\xff\xff" "b\xff\xff\xff\xff");
    EXPECT_EQ(telnet::EscapeOutput("\x1b[0m plain"), "\x1b[0m plain");
}

namespace {

uint32_t g_watchRuns = 0;
uint32_t g_watchAt = 0;
void CountWatch() {
    ++g_watchRuns;
    g_watchAt = memcon::Now();
}

}  // namespace

class KeyWaitWatch : public ConsoleTest {};

TEST_F(KeyWaitWatch, RunsWhenAWaitReachesItsTickAndTheWaitGoesOn) {
    g_watchRuns = 0;
    memcon::PressEnter(2000);
    Keyboard->SetWatch(500, CountWatch);
    EXPECT_EQ(ReadKey(), '\r');
    EXPECT_EQ(g_watchRuns, 1u);
    EXPECT_EQ(g_watchAt, 500u);
    EXPECT_EQ(memcon::Now(), 2000u) << "the key still came when it came";
    EXPECT_EQ(Keyboard->LastKeyTick(), 2000u);
    // A timed wait that ends first leaves the watch for later.
    Keyboard->SetWatch(3000, CountWatch);
    EXPECT_FALSE(Keyboard->WaitForKey(500));
    EXPECT_EQ(g_watchRuns, 1u);
    EXPECT_EQ(memcon::Now(), 2500u);
    EXPECT_FALSE(DelayUntilKey(1000));
    EXPECT_EQ(g_watchRuns, 2u) << "the delays that wait for a key are watched too";
    EXPECT_EQ(g_watchAt, 3000u);
    EXPECT_EQ(memcon::Now(), 3500u);
}

namespace {

bool g_noticeSeen = false;
uint32_t g_noticeAt = 0;
uint32_t g_clockBefore = 0;

// On every move of the clock: the notice drawn since the last move was
// drawn at the time the clock had then.
void NoteNotice() {
    for (int row = 0; row < 25 && !g_noticeSeen; ++row)
        if (memcon::RowText(row).find(TimeRunningOutNotice) != std::string::npos) {
            g_noticeSeen = true;
            g_noticeAt = g_clockBefore;
        }
    g_clockBefore = memcon::Now();
}

void SayWhen() {
    if (g_noticeSeen)
        std::fprintf(stderr, "notice at %u ms, ", static_cast<unsigned>(g_noticeAt));
    else
        std::fprintf(stderr, "no notice, ");
    // In whole seconds: the exit screen takes its half second and its
    // drawing after the end.
    std::fprintf(stderr, "ended in second %u\n", static_cast<unsigned>(memcon::Now() / 1000));
}

// In a child process (the door ends the program): runs a door for the drop
// file Text with Args and waits for keys until it ends; Keys (virtual
// times) are Enter presses.
[[noreturn]] void RunDoor(const std::string& path, const std::vector<std::string>& extra,
                          const std::vector<uint32_t>& keys, uint32_t startAt = 0) {
    while (memcon::Now() < startAt) conapi::Sleep(static_cast<int>(std::min<uint32_t>(startAt - memcon::Now(), 1u << 30)));
    std::vector<std::string> args = {"--door", path};
    args.insert(args.end(), extra.begin(), extra.end());
    std::string error;
    if (!PrepareDoor(args, error)) {
        std::fprintf(stderr, "refused: %s\n", error.c_str());
        std::exit(5);
    }
    for (const uint32_t at : keys) memcon::PressEnter(at);
    memcon::OnClockMoved(NoteNotice);
    std::atexit(SayWhen);
    WatchCallerTime();
    for (;;) ReadKey();
}

}  // namespace

class DoorTime : public ConsoleTest {
protected:
    TempDir dir_;
    std::string Drop(const std::string& text) {
        WriteFile(dir_ / "DOOR32.SYS", text);
        return dir_ / "DOOR32.SYS";
    }
};

TEST_F(DoorTime, TheMinutesLeftEndTheDoorAMinuteAfterTheNotice) {
    // Three minutes: the notice at two, the exit screen at three (the end
    // comes as it goes, half a second and its drawing later), status 0.
    const std::string drop = Drop(Door32With({{1, "0"}, {9, "3"}}));
    EXPECT_EXIT(RunDoor(drop, {}, {}), ::testing::ExitedWithCode(0), "notice at 120000 ms, ended in second 180\n");
    // Keys do not stretch the caller's time; one takes the notice away.
    EXPECT_EXIT(RunDoor(drop, {}, {30000, 130000}), ::testing::ExitedWithCode(0),
                "notice at 120000 ms, ended in second 180\n");
    // With a minute or less the notice comes at once.
    EXPECT_EXIT(RunDoor(Drop(Door32With({{1, "0"}, {9, "1"}})), {}, {}), ::testing::ExitedWithCode(0),
                "notice at 0 ms, ended in second 60\n");
}

TEST_F(DoorTime, AnIdleCallerIsEndedAfterTheIdleTimeFromTheLastKey) {
    const std::string drop = Drop(Door32With({{1, "0"}, {9, "600"}}));
    EXPECT_EXIT(RunDoor(drop, {"--idle", "2"}, {}), ::testing::ExitedWithCode(0), "no notice, ended in second 120\n");
    EXPECT_EXIT(RunDoor(drop, {"--idle", "2"}, {100000}), ::testing::ExitedWithCode(0), "ended in second 220\n");
    // On a clock past half its range (a machine up for 25 days) as well.
    EXPECT_EXIT(RunDoor(drop, {"--idle", "2"}, {}, 3000000000u), ::testing::ExitedWithCode(0),
                "no notice, ended in second 3000120\n");
    // The default idle time is a quarter of an hour.
    EXPECT_EXIT(RunDoor(drop, {}, {}), ::testing::ExitedWithCode(0), "no notice, ended in second 900\n");
    EXPECT_EXIT(RunDoor(drop, {"--idle", "0"}, {}), ::testing::ExitedWithCode(5), "refused: --idle needs");
    EXPECT_EXIT(RunDoor(drop, {"--idle", "2x"}, {}), ::testing::ExitedWithCode(5), "refused: --idle needs");
}

TEST_F(DoorTime, ACallersConnectionIsHandedToTheConsoleInPublicMode) {
    const std::string drop = Drop(Door32With({{2, "9"}, {10, "0"}}));
    EXPECT_EXIT(
        {
            std::string error;
            const bool ok = PrepareDoor({"--door", drop}, error);
            const conapi::Connection* c = memcon::ConnectionUsed();
            const bool right = ok && c && c->Handle == 9 && c->Telnet && c->AsciiOnly && PublicMode() &&
                               !SavingAllowed() && !MusicAllowed() && AsciiSuffix == "_asc" && RunsAsDoor();
            std::fprintf(stderr, right ? "handed over\n" : "not as the drop file says: %s\n", error.c_str());
            std::exit(right ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "handed over");
}
