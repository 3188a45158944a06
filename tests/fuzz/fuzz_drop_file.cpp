// The drop file reader on any bytes, as each kind: the first byte chooses
// the file's name (a name of each kind, in either case, or one that says
// nothing, so that the lines tell the kind); the rest is the file. Either
// the file is refused with one line of plain text naming the file and a
// line, or every field is within its bounds: the kind the name says, the
// minutes and the handle in range, names without control bytes and no
// longer than the longest kept, notes of one plain line each.
#include <string>

#include "app/drop_file.h"
#include "fuzz_common.h"

// The longest a message may be beyond the path: its words and a value shown
// as 40 bytes of \xNN at most.
constexpr std::size_t kLongestMessage = 256;

namespace {

struct Name {
    const char* path;
    int kind;  // the DropKind the name says, or -1: the lines tell it
};
constexpr Name kNames[] = {
    {"/bbs/node1/DOOR32.SYS", static_cast<int>(DropKind::Door32)},
    {"/bbs/node1/door.sys", static_cast<int>(DropKind::DoorSys)},
    {"/bbs/node1/DORINFO1.DEF", static_cast<int>(DropKind::DorInfo)},
    {"/bbs/node1/dorinfo.def", static_cast<int>(DropKind::DorInfo)},
    {"/bbs/node1/DORINFOZ.DEF", static_cast<int>(DropKind::DorInfo)},
    {"/bbs/node1/drop", -1},
};

bool PlainLine(const std::string& text) {
    for (const char c : text)
        if (c < 0x20 || c > 0x7e) return false;
    return true;
}

bool KeptText(const std::string& text) {
    if (text.size() > kLongestDropName) return false;
    for (const char c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return false;
    return true;
}

bool StartsWith(const std::string& text, const std::string& start) { return text.rfind(start, 0) == 0; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const Name& name = kNames[data[0] % std::size(kNames)];
    const std::string path = name.path;
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    DropFile drop;
    std::string error;
    if (!ParseDropFile(text, path, drop, error)) {
        FUZZ_CHECK(StartsWith(error, path + " line "));
        FUZZ_CHECK(PlainLine(error));
        FUZZ_CHECK(error.size() <= path.size() + kLongestMessage);
        return 0;
    }
    FUZZ_CHECK(error.empty());
    if (name.kind >= 0) FUZZ_CHECK(static_cast<int>(drop.Kind) == name.kind);
    FUZZ_CHECK(drop.MinutesLeft >= 0 && drop.MinutesLeft <= 7 * 24 * 60);
    if (drop.Kind == DropKind::Door32) {
        FUZZ_CHECK(drop.Connection == DropConnection::Local || drop.Connection == DropConnection::Telnet);
        FUZZ_CHECK(drop.Handle >= kStdioHandle && drop.Handle <= kHighestHandle);
        FUZZ_CHECK(drop.HandleLine == 2);
    } else {
        FUZZ_CHECK(drop.Connection == DropConnection::Local || drop.Connection == DropConnection::Port);
        FUZZ_CHECK(drop.Handle == 0);
    }
    FUZZ_CHECK(KeptText(drop.Caller) && KeptText(drop.Board) && KeptText(drop.Town));
    FUZZ_CHECK(!drop.Node || (*drop.Node >= 0 && *drop.Node <= kHighestNode));
    FUZZ_CHECK(!drop.Security || (*drop.Security >= 0 && *drop.Security <= kHighestSecurity));
    FUZZ_CHECK(!drop.Described.empty() && PlainLine(drop.Described));
    FUZZ_CHECK(drop.Notes.size() <= 8);
    for (const std::string& note : drop.Notes) {
        FUZZ_CHECK(StartsWith(note, path + " line "));
        FUZZ_CHECK(PlainLine(note));
        FUZZ_CHECK(note.size() <= path.size() + kLongestMessage);
    }
    return 0;
}
