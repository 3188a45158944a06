// The magazine as a board's door: the two drop files (what is read from
// them, and the one line that refuses a file that cannot be served),
// telnet's framing on the caller's connection, the watch on the waits for
// keys, and the caller's time in virtual time: the notice a minute before
// the end, the end at the minutes left, the end after the idle time.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "app/door.h"
#include "app/magazine_run.h"
#include "app/drop_file.h"
#include "app/program.h"
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

// A DORINFO1.DEF as a board writes it for a caller on COM1, with Changes.
std::string DorInfo(std::vector<std::pair<int, std::string>> changes = {}) {
    std::vector<std::string> lines = {"Harbour Board",
                                      "SAM",
                                      "SYSOP",
                                      "COM1",
                                      "38400 BAUD,N,8,1",
                                      "0",
                                      "ANN",
                                      "READER",
                                      "Port Town",
                                      "1",
                                      "30",
                                      "42",
                                      "-1"};
    for (const auto& [line, value] : changes) lines[static_cast<std::size_t>(line - 1)] = value;
    return Door32(lines);
}

std::string Refusal(const std::string& text, const std::string& path = "/board/DOOR32.SYS") {
    DropFile drop;
    std::string error;
    EXPECT_FALSE(ParseDropFile(text, path, drop, error)) << text;
    return error;
}

DropFile Parsed(const std::string& text, const std::string& path) {
    DropFile drop;
    std::string error;
    EXPECT_TRUE(ParseDropFile(text, path, drop, error)) << error;
    return drop;
}

std::string Filtered(telnet::InputFilter& filter, const std::string& in) {
    std::string out;
    filter.Take(in, out);
    return out;
}

}  // namespace

TEST(DropFile, Door32GivesTheConnectionTheMinutesTheEmulationAndTheCaller) {
    DropFile drop = Parsed(Door32With(), "/board/DOOR32.SYS");
    EXPECT_EQ(drop.Kind, DropKind::Door32);
    EXPECT_EQ(drop.Connection, DropConnection::Telnet);
    EXPECT_EQ(drop.Handle, 7);
    EXPECT_EQ(drop.MinutesLeft, 42);
    EXPECT_TRUE(drop.Ansi);
    EXPECT_EQ(drop.Caller, "sea dog");
    EXPECT_EQ(drop.Board, "Harbour Board 2.1");
    EXPECT_EQ(drop.Security, 20);
    EXPECT_EQ(drop.Node, 3);
    EXPECT_EQ(drop.Described, "DOOR32.SYS, node 3");
    EXPECT_TRUE(drop.Notes.empty());
    // Type 0 is the board's own console; emulation 0 is plain ASCII, 1 to 4
    // all draw in ANSI; LF line ends and padding are read the same.
    std::string lfOnly = Door32With({{1, "0"}, {10, "0"}, {7, ""}});
    for (std::size_t at; (at = lfOnly.find('\r')) != std::string::npos;) lfOnly.erase(at, 1);
    drop = Parsed(lfOnly, "door32.sys");
    EXPECT_EQ(drop.Connection, DropConnection::Local);
    EXPECT_FALSE(drop.Ansi);
    EXPECT_EQ(drop.Caller, "Ann Reader") << "no alias: the real name";
    for (const char* emulation : {"2", "3", "4"}) {
        drop = Parsed(Door32With({{10, emulation}, {2, " 12 "}}), "D");
        EXPECT_TRUE(drop.Ansi) << emulation;
        EXPECT_EQ(drop.Handle, 12);
        EXPECT_EQ(drop.Described, "DOOR32.SYS by its lines, node 3");
    }
    // A board that hands the door standard input and output writes -1.
    drop = Parsed(Door32With({{2, "-1"}}), "/board/DOOR32.SYS");
    EXPECT_EQ(drop.Handle, -1);
    EXPECT_EQ(drop.Connection, DropConnection::Telnet);
    EXPECT_EQ(drop.Notes,
              std::vector<std::string>{
                  "/board/DOOR32.SYS line 2: the handle is -1: the caller is on standard input and output"});
}

TEST(DropFile, DoorSysIsToldApartByItsNameOrItsPortLine) {
    DropFile drop = Parsed(DoorSys("COM0:", "30", "GR"), "DOOR.SYS");
    EXPECT_EQ(drop.Kind, DropKind::DoorSys);
    EXPECT_EQ(drop.Connection, DropConnection::Local);
    EXPECT_EQ(drop.MinutesLeft, 30);
    EXPECT_TRUE(drop.Ansi);
    EXPECT_EQ(drop.Caller, "Ann Reader");
    EXPECT_EQ(drop.Described, "DOOR.SYS");
    drop = Parsed(DoorSys("COM1:", "5", "NG"), "/bbs/drop");
    EXPECT_EQ(drop.Kind, DropKind::DoorSys);
    EXPECT_EQ(drop.Connection, DropConnection::Port);
    EXPECT_EQ(drop.Handle, 0) << "a caller on a port is on standard input and output";
    EXPECT_FALSE(drop.Ansi);
    EXPECT_EQ(drop.Described, "DOOR.SYS by its lines");
    // Older boards write fewer lines; the door needs the first twenty.
    EXPECT_FALSE(Parsed(DoorSys("COM2:", "5", "7E", 20), "DOOR.SYS").Ansi);
}

TEST(DropFile, DorInfoGivesThePortTheGraphicsTheMinutesAndTheCaller) {
    DropFile drop = Parsed(DorInfo(), "/bbs/DORINFO1.DEF");
    EXPECT_EQ(drop.Kind, DropKind::DorInfo);
    EXPECT_EQ(drop.Connection, DropConnection::Port);
    EXPECT_EQ(drop.Handle, 0) << "a caller on COM1 is on standard input and output";
    EXPECT_TRUE(drop.Ansi);
    EXPECT_EQ(drop.MinutesLeft, 42);
    EXPECT_EQ(drop.Caller, "ANN READER");
    EXPECT_EQ(drop.Board, "Harbour Board");
    EXPECT_EQ(drop.Town, "Port Town");
    EXPECT_EQ(drop.Security, 30);
    EXPECT_EQ(drop.Node, 1);
    EXPECT_EQ(drop.Described, "DORINFO1.DEF, node 1");
    EXPECT_TRUE(drop.Notes.empty());
    // COM0 (in any case) is the board's console; graphics 0 is plain ASCII, 2 and on a
    // board's own colour codes on top of ANSI; LF line ends read the same.
    std::string lfOnly = DorInfo({{4, "com0"}, {10, "0"}});
    for (std::size_t at; (at = lfOnly.find('\r')) != std::string::npos;) lfOnly.erase(at, 1);
    drop = Parsed(lfOnly, "dorinfo1.def");
    EXPECT_EQ(drop.Connection, DropConnection::Local);
    EXPECT_FALSE(drop.Ansi);
    EXPECT_TRUE(Parsed(DorInfo({{10, "2"}}), "DORINFO1.DEF").Ansi);
    // Any other port's caller is on standard input and output too.
    EXPECT_EQ(Parsed(DorInfo({{4, "LOCAL2"}}), "DORINFO1.DEF").Connection, DropConnection::Port);
    // The node is the name's digit or letter; DORINFO.DEF has none; a file
    // of another name is told by its port line.
    EXPECT_EQ(Parsed(DorInfo(), "/bbs/DORINFOb.DEF").Described, "DORINFOB.DEF, node 11");
    drop = Parsed(DorInfo(), "DORINFO.DEF");
    EXPECT_EQ(drop.Node, std::nullopt);
    EXPECT_EQ(drop.Described, "DORINFO.DEF");
    EXPECT_EQ(Parsed(DorInfo({{13, ""}}), "caller.def").Described, "DORINFO.DEF by its lines");
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
    for (const std::string handle : {"", "-4", "0x1c", "12 13", "4294967296", "99999999999999999999"})
        EXPECT_EQ(Refusal(Door32With({{2, handle}})), "/board/DOOR32.SYS line 2: the connection's handle \"" + handle +
                                                          "\" is not a number from -1 to 4294967295");
    EXPECT_EQ(Refusal(Door32With({{9, "lots"}})),
              "/board/DOOR32.SYS line 9: the minutes left \"lots\" is not a number from 0 to 10080");
    EXPECT_EQ(Refusal(Door32With({{9, "10081"}})),
              "/board/DOOR32.SYS line 9: the minutes left \"10081\" is not a number from 0 to 10080");
    EXPECT_EQ(Refusal(Door32With({{10, "5"}})),
              "/board/DOOR32.SYS line 10: the emulation \"5\" is not a number from 0 to 4");
    // The name tells the kind: a DOOR.SYS's lines under the name DOOR32.SYS
    // are no DOOR32.SYS.
    EXPECT_EQ(Refusal(DoorSys("COM1:", "5", "GR")),
              "/board/DOOR32.SYS line 1: the connection type \"COM1:\" is not a number from 0 to 2");
    EXPECT_EQ(Refusal(DoorSys("COM1:", "5", "GR", 19), "DOOR.SYS"),
              "DOOR.SYS line 20: missing: the file ends after 19 of its 20 lines");
    EXPECT_EQ(Refusal(DoorSys("COMX:", "5", "GR"), "DOOR.SYS"), "DOOR.SYS line 1: the port \"COMX:\" is not COMn:");
    EXPECT_EQ(Refusal(DoorSys("COM1:", "5", "RIP"), "DOOR.SYS"),
              "DOOR.SYS line 20: the graphics \"RIP\" are not GR, NG or 7E");
    EXPECT_EQ(Refusal(DorInfo().substr(0, DorInfo().find("42")), "DORINFO1.DEF"),
              "DORINFO1.DEF line 12: missing: the file ends after 11 of its 12 lines");
    EXPECT_EQ(Refusal(DorInfo({{4, ""}}), "DORINFO1.DEF"), "DORINFO1.DEF line 4: the port \"\" is no port's name");
    EXPECT_EQ(Refusal(DorInfo({{10, "ANSI"}}), "DORINFO1.DEF"),
              "DORINFO1.DEF line 10: the graphics \"ANSI\" is not a number from 0 to 255");
    EXPECT_EQ(Refusal(DorInfo({{12, "-5"}}), "DORINFO1.DEF"),
              "DORINFO1.DEF line 12: the minutes left \"-5\" is not a number from 0 to 10080");
    // What is shown of a bad value is plain ASCII, one line, 40 bytes at most.
    EXPECT_EQ(Refusal(Door32With({{9, std::string("4\0"
                                                  "2",
                                                  3)}})),
              "/board/DOOR32.SYS line 9: the minutes left \"4\\x002\" is not a number from 0 to 10080");
    EXPECT_EQ(Refusal(DorInfo({{4, "COM1\x1b[2J\r\x82"}}), "DORINFO1.DEF"),
              "DORINFO1.DEF line 4: the port \"COM1\\x1b[2J\\x0d\\x82\" is no port's name");
    EXPECT_EQ(Refusal(Door32With({{10, std::string(45, '9')}})), "/board/DOOR32.SYS line 10: the emulation \"" +
                                                                     std::string(40, '9') +
                                                                     "\"... is not a number from 0 to 4");
}

TEST(DropFile, WhatIsOnlyKeptForTheLogIsDroppedOrCutWithANote) {
    const std::string longName(100, 'n');
    DropFile drop =
        Parsed(Door32With({{4, longName}, {7, "sea\x1b[31m dog"}, {8, "high"}, {11, "65536"}}), "/board/DOOR32.SYS");
    EXPECT_EQ(drop.Board, std::string(64, 'n'));
    EXPECT_EQ(drop.Caller, "Ann Reader") << "the alias with an escape in it is dropped: the real name";
    EXPECT_EQ(drop.Security, std::nullopt);
    EXPECT_EQ(drop.Node, std::nullopt);
    EXPECT_EQ(drop.Described, "DOOR32.SYS");
    EXPECT_EQ(drop.Notes, (std::vector<std::string>{
                              "/board/DOOR32.SYS line 4: the board's name is longer than 64 characters: cut",
                              "/board/DOOR32.SYS line 7: the caller's alias holds control bytes: not kept",
                              "/board/DOOR32.SYS line 8: the security level \"high\" is not a number from 0 to "
                              "65535: not kept",
                              "/board/DOOR32.SYS line 11: the node \"65536\" is not a number from 0 to 65535: not kept",
                          }));
    // The caller's first and last names together are cut at 64.
    drop = Parsed(DorInfo({{7, std::string(40, 'a')}, {8, std::string(40, 'b')}, {9, std::string("\0", 1)}}),
                  "DORINFO2.DEF");
    EXPECT_EQ(drop.Caller, std::string(40, 'a') + " " + std::string(23, 'b'));
    EXPECT_EQ(drop.Town, "");
    EXPECT_EQ(drop.Notes, (std::vector<std::string>{
                              "DORINFO2.DEF line 7: the caller's name is longer than 64 characters: cut",
                              "DORINFO2.DEF line 9: the caller's town holds control bytes: not kept",
                          }));
    for (const std::string& note : drop.Notes) EXPECT_EQ(note.find('\n'), std::string::npos);
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
    static MagazineRun run;  // lives until the child ends
    if (!run.Magazine.TakeBuiltIn(error) || !run.Magazine.Open(run.Magazine.Newest(), run.Issue, error) ||
        !PrepareDoor(args, run.Door, error)) {
        std::fprintf(stderr, "refused: %s\n", error.c_str());
        std::exit(5);
    }
    for (const uint32_t at : keys) memcon::PressEnter(at);
    memcon::OnClockMoved(NoteNotice);
    std::atexit(SayWhen);
    WatchCallerTime(run);
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
    // --max-minutes caps what the board gives (546 minutes, as boards write
    // for everyone), and never stretches less.
    EXPECT_EXIT(RunDoor(drop, {"--max-minutes", "30"}, {60000, 120000}), ::testing::ExitedWithCode(0),
                "notice at 120000 ms, ended in second 180\n");
    for (const char* wrong : {"0", "x", "10081", ""})
        EXPECT_EXIT(RunDoor(drop, {"--max-minutes", wrong}, {}), ::testing::ExitedWithCode(5),
                    "refused: --max-minutes needs") << wrong;
    const std::string plenty = Drop(Door32With({{1, "0"}, {9, "546"}}));
    EXPECT_EXIT(RunDoor(plenty, {"--max-minutes", "2", "--idle", "600"}, {}), ::testing::ExitedWithCode(0),
                "notice at 60000 ms, ended in second 120\n");
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
    // A door's default idle time is five minutes, shorter than the boards'
    // own kicks.
    EXPECT_EXIT(RunDoor(drop, {}, {}), ::testing::ExitedWithCode(0), "no notice, ended in second 300\n");
    EXPECT_EXIT(RunDoor(drop, {"--idle", "0"}, {}), ::testing::ExitedWithCode(5), "refused: --idle needs");
    EXPECT_EXIT(RunDoor(drop, {"--idle", "2x"}, {}), ::testing::ExitedWithCode(5), "refused: --idle needs");
}

TEST_F(DoorTime, ACallersConnectionIsHandedToTheConsoleInPublicMode) {
    const std::string drop = Drop(Door32With({{2, "9"}, {10, "0"}}));
    EXPECT_EXIT(
        {
            std::string error;
            DoorStay stay;
            const bool ok = PrepareDoor({"--door", drop}, stay, error);
            const conapi::Connection* c = memcon::ConnectionUsed();
            const bool right = ok && c && c->Handle == 9 && c->Telnet && c->AsciiOnly && PublicMode() &&
                               !SavingAllowed() && !MusicAllowed() && AsciiSuffix == "_asc" && stay.Door;
            std::fprintf(stderr, right ? "handed over\n" : "not as the drop file says: %s\n", error.c_str());
            std::exit(right ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "handed over");
    // A handle of -1 is standard input and output, which the console checks;
    // a DORINFO1.DEF's COM1 caller is there as well, without telnet.
    const std::string stdio = Drop(Door32With({{2, "-1"}}));
    WriteFile(dir_ / "DORINFO1.DEF", DorInfo());
    EXPECT_EXIT(
        {
            std::string error;
            DoorStay stay;
            const bool ok = PrepareDoor({"--door", stdio}, stay, error);
            const conapi::Connection* c = memcon::ConnectionUsed();
            const bool right = ok && c && c->Handle == -1 && c->Telnet && c->StdioWhenNoSocket &&
                               stay.Drop.Notes.size() == 1 && stay.Drop.Described == "DOOR32.SYS, node 3";
            std::fprintf(stderr, right ? "handed over\n" : "not as the drop file says: %s\n", error.c_str());
            std::exit(right ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "handed over");
    EXPECT_EXIT(
        {
            std::string error;
            DoorStay stay;
            const bool ok = PrepareDoor({"--door", dir_ / "DORINFO1.DEF"}, stay, error);
            const conapi::Connection* c = memcon::ConnectionUsed();
            const bool right = ok && c && c->Handle == 0 && !c->Telnet && !c->StdioWhenNoSocket && !c->AsciiOnly &&
                               stay.Drop.Caller == "ANN READER";
            std::fprintf(stderr, right ? "handed over\n" : "not as the drop file says: %s\n", error.c_str());
            std::exit(right ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "handed over");
}

// --- The sysop's log -----------------------------------------------------------------

namespace {

std::vector<std::string> LogLines(const std::string& path) {
    std::vector<std::string> lines;
    std::string line;
    for (const char c : apptest::ReadFile(path)) {
        if (c != '\n') {
            line += c;
            continue;
        }
        lines.push_back(line);
        line.clear();
    }
    EXPECT_EQ(line, "") << "every line ends";
    return lines;
}

// In a child process: the magazine as a door for the drop file at Path,
// logging to Log, for a caller who types Keys (X ends the program).
[[noreturn]] void RunPlainCaller(const std::string& path, const std::string& log, const std::string& keys) {
    memcon::TypeText(keys);
    std::vector<std::string> args = {"quixmag", "--silent", "--door", path, "--log", log};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    RunMagazine(static_cast<int>(argv.size()), argv.data());
    std::exit(3);
}

// A file's name that is removed before and after the test uses it.
struct RemovedFile {
    std::string Name;
    explicit RemovedFile(std::string name) : Name(std::move(name)) { Remove(); }
    ~RemovedFile() { Remove(); }
    RemovedFile(const RemovedFile&) = delete;
    RemovedFile& operator=(const RemovedFile&) = delete;
    void Remove() const {
        std::error_code ignored;
        std::filesystem::remove(Name, ignored);
    }
};

// A line's part after the time stamp ("2026-12-10 21:05:09 ").
std::string AfterTime(const std::string& line) {
    EXPECT_GE(line.size(), 20u) << line;
    EXPECT_EQ(line.substr(4, 1) + line.substr(7, 1) + line.substr(10, 1) + line.substr(13, 1) + line.substr(16, 1),
              "-- ::")
        << line;
    return line.size() > 20 ? line.substr(20) : "";
}

}  // namespace

TEST(CallerLog, NamesAndEventsAreWrittenPrintableAndNodesShareOneFile) {
    EXPECT_EQ(LogPrintable("plain text 1-9"), "plain text 1-9");
    EXPECT_EQ(LogPrintable("a\x1b[2Jb\tc\x7f\x94\\"), "a\\x1b[2Jb\\x09c\\x7f\\x94\\\\");

    TempDir dir;
    const std::string path = dir / "quixmag.log";
    CallerLog one;
    CallerLog two;
    ASSERT_TRUE(one.Open(path));
    ASSERT_TRUE(two.Open(path));
    one.Identify(1, "J\x94RG \"the\" READER");
    two.Identify(std::nullopt, "");
    one.Write("start: DORINFO1.DEF, node 1");
    two.Write("start: issue #1");
    one.Write("article: articles/news (caf\x82 \x1b[5m)");
    const std::vector<std::string> lines = LogLines(path);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(AfterTime(lines[0]), "node 1 \"J\\x94RG \\\"the\\\" READER\" start: DORINFO1.DEF, node 1");
    EXPECT_EQ(AfterTime(lines[1]), "node - \"\" start: issue #1");
    EXPECT_EQ(AfterTime(lines[2]), "node 1 \"J\\x94RG \\\"the\\\" READER\" article: articles/news (caf\\x82 \\x1b[5m)");

    // A third node opens the file later: its lines go after the others'.
    CallerLog three;
    ASSERT_TRUE(three.Open(path));
    three.Write("end: x");
    EXPECT_EQ(LogLines(path).size(), 4u);
}

TEST(CallerLog, ALogThatCannotBeWrittenIsSaidOnceAndEndsNothing) {
    TempDir dir;
    CallerLog log;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(log.Open(dir / "no-such-folder/quixmag.log"));
    log.Write("start: issue #1");
    log.Write("end: x");
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_NE(said.find("no-such-folder/quixmag.log"), std::string::npos) << said;
    EXPECT_FALSE(log.Active());

    CallerLog toStderr;
    ASSERT_TRUE(toStderr.Open("-"));
    toStderr.Identify(7, "ANN");
    testing::internal::CaptureStderr();
    toStderr.Write("end: idle");
    EXPECT_EQ(AfterTime(testing::internal::GetCapturedStderr()), "node 7 \"ANN\" end: idle\n");
}

TEST_F(DoorTime, TheLogHoldsTheStartEachArticleAndTheEndOfAPlainCallersStay) {
    // A DORINFO1.DEF caller without graphics, with a code page 437 letter in
    // the name: the articles (the main menu's second entry), the first one,
    // a page, back, and X.
    WriteFile(dir_ / "DORINFO1.DEF", DorInfo({{7, "J\x94RG"}, {10, "0"}}));
    // The log goes to the working folder, which the child shares: on Windows
    // the child is a new run of this test, with a temporary folder of its own.
    const RemovedFile removed("door-test-nodes.log");
    const std::string& log = removed.Name;
    EXPECT_EXIT(RunPlainCaller(dir_ / "DORINFO1.DEF", log, "21 q0x"), ::testing::ExitedWithCode(0), "");
    // The first article as the issue lists it.
    MagazineRun run;
    std::string error;
    ASSERT_TRUE(run.Magazine.TakeBuiltIn(error) && run.Magazine.Open(run.Magazine.Newest(), run.Issue, error));
    const issue::Entry& first = run.Issue.Contents.Entries("article").front();
    const std::string who = "node 1 \"J\\x94RG READER\" ";
    const std::vector<std::string> lines = LogLines(log);
    ASSERT_EQ(lines.size(), 3u) << apptest::ReadFile(log);
    EXPECT_EQ(AfterTime(lines[0]), who + "start: DORINFO1.DEF, node 1, issue #1");
    EXPECT_EQ(AfterTime(lines[1]),
              who + "article: articles/" + issue::ResourceOf(first.Text) + " (" + first.Title + ")");
    EXPECT_EQ(AfterTime(lines[2]), who + "end: x");
}
