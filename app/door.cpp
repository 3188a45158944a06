#include "app/door.h"

#include <algorithm>
#include <cstdint>

#include "app/drop_file.h"
#include "app/program.h"
#include "console/conapi.h"
#include "console/m_Console.h"
#include "sys/sys.h"
#include "widgets/boxes.h"

namespace {

constexpr uint32_t MsPerMinute = 60000;
constexpr int LongestIdleMinutes = 24 * 60;

// The one caller of this run, and the limits on the caller's stay.
struct DoorSession {
    bool door = false;
    bool timed = false;  // the minutes left are kept
    uint32_t minutesLeftMs = 0;
    uint32_t idleMs = 0;  // 0: no idle limit
    uint32_t start = 0;   // tick of WatchCallerTime
    uint32_t keysAtStart = 0;
    bool noticeShown = false;
};

DoorSession& Session() {
    static DoorSession session;
    return session;
}

bool ReadIdle(const std::vector<std::string>& args, std::string& error) {
    DoorSession& s = Session();
    int32_t minutes = s.door ? DefaultIdleMinutes : 0;
    if (HasSwitch(args, "--idle")) {
        const std::string given = ValueOf(args, "--idle");
        minutes = StrToInt(given);
        if (minutes < 1 || minutes > LongestIdleMinutes || IntToStr(minutes) != given) {
            error = "--idle needs the minutes a reader may sit without a key, from 1 to " +
                    IntToStr(LongestIdleMinutes) + ": --idle 15";
            return false;
        }
    }
    s.idleMs = static_cast<uint32_t>(minutes) * MsPerMinute;
    return true;
}

bool OpenCallerConnection(const DropFile& drop, const std::string& path, std::string& error) {
    if (drop.Connection == DropConnection::Local) return true;
    conapi::Connection connection;
    connection.Handle = drop.Handle;  // DOOR.SYS: 0, standard input and output
    connection.Telnet = drop.Connection == DropConnection::Telnet;
    connection.AsciiOnly = !drop.Ansi;
    const std::string why = conapi::UseConnection(connection);
    if (why.empty()) return true;
    error = path + " line " + IntToStr(drop.HandleLine) + ": the caller's connection cannot be used: " + why;
    return false;
}

// Whether tick A comes before tick B (ticks wrap after 49 days).
bool Before(uint32_t a, uint32_t b) { return static_cast<int32_t>(a - b) < 0; }

uint32_t StayEnds() { return Session().start + Session().minutesLeftMs; }

uint32_t NoticeDue() { return StayEnds() - std::min(MsPerMinute, Session().minutesLeftMs); }

// Since when the caller has typed nothing.
uint32_t IdleSince() {
    const bool typed = Keyboard->KeysTaken() != Session().keysAtStart;
    return typed ? Keyboard->LastKeyTick() : Session().start;
}

void OnWatch();

// Sets the watch for the first of: the minutes' end, the notice before
// it, the moment the caller will have sat idle for the idle time.
void ArmWatch() {
    const DoorSession& s = Session();
    bool any = false;
    uint32_t due = 0;
    auto consider = [&](uint32_t tick) {
        if (!any || Before(tick, due)) due = tick;
        any = true;
    };
    if (s.timed) consider(s.noticeShown ? StayEnds() : NoticeDue());
    if (s.idleMs > 0) consider(IdleSince() + s.idleMs);
    if (any) Keyboard->SetWatch(due, OnWatch);
}

void EndStay() {
    ExitScreen();
    EndProgram(0);
}

void OnWatch() {
    DoorSession& s = Session();
    const uint32_t now = conapi::TickCount();
    if (s.timed && !Before(now, StayEnds())) EndStay();
    if (s.idleMs > 0 && !Before(now, IdleSince() + s.idleMs)) EndStay();
    if (s.timed && !s.noticeShown && !Before(now, NoticeDue())) {
        s.noticeShown = true;
        ArmWatch();  // the notice waits for a key; the end comes all the same
        ShowNotice("", TimeRunningOutNotice);
        return;
    }
    ArmWatch();
}

}  // namespace

bool PrepareDoor(const std::vector<std::string>& args, std::string& error) {
    DoorSession& s = Session();
    if (!HasSwitch(args, "--door")) return ReadIdle(args, error);
    const std::string path = ValueOf(args, "--door");
    if (path.empty() || path.rfind("--", 0) == 0) {
        error = "--door needs the board's drop file (DOOR32.SYS or DOOR.SYS): --door /path/DOOR32.SYS";
        return false;
    }
    DropFile drop;
    if (!ReadDropFile(path, drop, error)) return false;
    s.door = true;
    if (!ReadIdle(args, error)) return false;
    s.timed = true;
    s.minutesLeftMs = static_cast<uint32_t>(drop.MinutesLeft) * MsPerMinute;
    // A board's caller saves nothing on the board's disk and hears nothing
    // from its sound card.
    sys::SetVariable("QUIXMAG_PUBLIC", "1");
    if (!drop.Ansi) AsciiSuffix = "_asc";
    return OpenCallerConnection(drop, path, error);
}

bool RunsAsDoor() { return Session().door; }

void WatchCallerTime() {
    DoorSession& s = Session();
    s.start = conapi::TickCount();
    s.keysAtStart = Keyboard->KeysTaken();
    ArmWatch();
}
