#include "app/door.h"

#include <algorithm>
#include <cstdint>

#include "app/drop_file.h"
#include "app/magazine_run.h"
#include "app/program.h"
#include "console/conapi.h"
#include "console/m_Console.h"
#include "sys/sys.h"
#include "widgets/boxes.h"

namespace {

constexpr uint32_t MsPerMinute = 60000;
constexpr int LongestIdleMinutes = 24 * 60;
constexpr int LongestStayMinutes = 7 * 24 * 60;

bool ReadIdle(const std::vector<std::string>& args, DoorStay& s, std::string& error) {
    int32_t minutes = s.Door ? DefaultIdleMinutes : 0;
    if (HasSwitch(args, "--idle")) {
        const std::string given = ValueOf(args, "--idle");
        minutes = StrToInt(given);
        if (minutes < 1 || minutes > LongestIdleMinutes || IntToStr(minutes) != given) {
            error = "--idle needs the minutes a reader may sit without a key, from 1 to " +
                    IntToStr(LongestIdleMinutes) + ": --idle 15";
            return false;
        }
    }
    s.IdleMs = static_cast<uint32_t>(minutes) * MsPerMinute;
    return true;
}

// --max-minutes N: the sysop's cap on a stay, whatever the drop file
// gives (boards write hundreds of minutes for everyone). It holds for a
// reader who is no door's caller as well.
bool ReadMaxMinutes(const std::vector<std::string>& args, DoorStay& s, std::string& error) {
    if (!HasSwitch(args, "--max-minutes")) return true;
    const std::string given = ValueOf(args, "--max-minutes");
    const int32_t minutes = StrToInt(given);
    if (minutes < 1 || minutes > LongestStayMinutes || IntToStr(minutes) != given) {
        error = "--max-minutes needs the longest stay in minutes, from 1 to " + IntToStr(LongestStayMinutes) +
                ": --max-minutes 30";
        return false;
    }
    const uint32_t cap = static_cast<uint32_t>(minutes) * MsPerMinute;
    if (!s.Timed || cap < s.MinutesLeftMs) s.MinutesLeftMs = cap;
    s.Timed = true;
    return true;
}

bool OpenCallerConnection(DropFile& drop, const std::string& path, std::string& error) {
    if (drop.Connection == DropConnection::Local) return true;
    conapi::Connection connection;
    connection.Handle = drop.Handle;  // DOOR.SYS, DORINFOn.DEF: 0, standard input and output
    connection.Telnet = drop.Connection == DropConnection::Telnet;
    connection.AsciiOnly = !drop.Ansi;
    // A telnet caller's handle may be the board's own, not handed over: a
    // board that serves its door on standard input and output writes one.
    connection.StdioWhenNoSocket = drop.Kind == DropKind::Door32 && connection.Telnet;
    std::string note;
    const std::string why = conapi::UseConnection(connection, note);
    const std::string at = path + " line " + IntToStr(drop.HandleLine) + ": ";
    if (!note.empty()) drop.Notes.push_back(at + note);
    if (why.empty()) return true;
    error = at + "the caller's connection cannot be used: " + why;
    return false;
}

// Whether tick A comes before tick B (ticks wrap after 49 days).
bool Before(uint32_t a, uint32_t b) { return static_cast<int32_t>(a - b) < 0; }

uint32_t StayEnds(const DoorStay& s) { return s.Start + s.MinutesLeftMs; }

uint32_t NoticeDue(const DoorStay& s) { return StayEnds(s) - std::min(MsPerMinute, s.MinutesLeftMs); }

// Since when the caller has typed nothing.
uint32_t IdleSince(const DoorStay& s) {
    const bool typed = Keyboard->KeysTaken() != s.KeysAtStart;
    return typed ? Keyboard->LastKeyTick() : s.Start;
}

void OnWatch(MagazineRun& run);

// Sets the watch for the first of: the minutes' end, the notice before
// it, the moment the caller will have sat idle for the idle time.
void ArmWatch(MagazineRun& run) {
    const DoorStay& s = run.Door;
    bool any = false;
    uint32_t due = 0;
    auto consider = [&](uint32_t tick) {
        if (!any || Before(tick, due)) due = tick;
        any = true;
    };
    if (s.Timed) consider(s.NoticeShown ? StayEnds(s) : NoticeDue(s));
    if (s.IdleMs > 0) consider(IdleSince(s) + s.IdleMs);
    if (any) Keyboard->SetWatch(due, [&run] { OnWatch(run); });
}

void EndStay(MagazineRun& run, const char* why) {
    run.Log.Write(std::string("end: ") + why);
    run.Leaving = true;
    ExitScreen(run);
    EndProgram(0);
}

void OnWatch(MagazineRun& run) {
    DoorStay& s = run.Door;
    const uint32_t now = conapi::TickCount();
    if (s.Timed && !Before(now, StayEnds(s))) EndStay(run, "time up");
    if (s.IdleMs > 0 && !Before(now, IdleSince(s) + s.IdleMs)) EndStay(run, "idle");
    if (s.Timed && !s.NoticeShown && !Before(now, NoticeDue(s))) {
        s.NoticeShown = true;
        ArmWatch(run);  // the notice waits for a key; the end comes all the same
        ShowNotice("", TimeRunningOutNotice);
        return;
    }
    ArmWatch(run);
}

}  // namespace

bool PrepareDoor(const std::vector<std::string>& args, DoorStay& s, std::string& error) {
    if (!HasSwitch(args, "--door")) return ReadIdle(args, s, error) && ReadMaxMinutes(args, s, error);
    const std::string path = ValueOf(args, "--door");
    if (path.empty() || path.rfind("--", 0) == 0) {
        error = "--door needs the board's drop file (DOOR32.SYS, DOOR.SYS or DORINFO1.DEF): --door /path/DOOR32.SYS";
        return false;
    }
    DropFile& drop = s.Drop;
    if (!ReadDropFile(path, drop, error)) return false;
    s.Door = true;
    if (!ReadIdle(args, s, error)) return false;
    s.Timed = true;
    s.MinutesLeftMs = static_cast<uint32_t>(drop.MinutesLeft) * MsPerMinute;
    if (!ReadMaxMinutes(args, s, error)) return false;
    // A board's caller saves nothing on the board's disk and hears nothing
    // from its sound card.
    sys::SetVariable("QUIXMAG_PUBLIC", "1");
    // A caller without ANSI gets plain lines: not one escape code.
    if (!drop.Ansi) {
        AsciiSuffix = "_asc";
        conapi::UsePlainLines();
    }
    return OpenCallerConnection(drop, path, error);
}

void WatchCallerTime(MagazineRun& run) {
    run.Door.Start = conapi::TickCount();
    run.Door.KeysAtStart = Keyboard->KeysTaken();
    ArmWatch(run);
}
