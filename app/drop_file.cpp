#include "app/drop_file.h"

#include <charconv>
#include <cstdio>

#include "sys/sys.h"

namespace {

// A drop file is a few dozen short lines; anything much larger is no drop
// file, and is not read whole into memory.
constexpr std::size_t kLargestDropFile = 64 * 1024;
// The lines looked at: DOOR.SYS, the longest kind, has 52.
constexpr int kMostLines = 64;
constexpr int kDoor32Lines = 11;
constexpr int kDoorSysLines = 20;  // the lines read here; boards write 52
constexpr int kDorInfoLines = 12;  // the lines read here; the 13th only tells a FOSSIL port
constexpr int64_t kLongestStay = 24 * 60 * 7;  // minutes: a week
constexpr int64_t kHighestGraphics = 255;
// What a message shows of a bad value, at most.
constexpr std::size_t kShownOfAValue = 40;

// The first kMostLines lines of Text without their line ends (CR LF or LF)
// and the spaces and tabs that boards pad some values with.
std::vector<std::string> Lines(std::string_view text) {
    std::vector<std::string> lines;
    while (!text.empty() && lines.size() < static_cast<std::size_t>(kMostLines)) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
        lines.emplace_back(line);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7f; }

bool HasControlBytes(std::string_view value) {
    for (const char c : value)
        if (IsControl(static_cast<unsigned char>(c))) return true;
    return false;
}

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

std::string UpperCase(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) c = Upper(c);
    return upper;
}

// A value as a message shows it: quoted, at most kShownOfAValue bytes, and
// every byte that is not printable ASCII as \xNN, so that the message stays
// one line of plain text that a sysop's terminal shows as it is.
std::string Shown(std::string_view value) {
    std::string shown = "\"";
    for (std::size_t i = 0; i < value.size() && i < kShownOfAValue; ++i) {
        const auto c = static_cast<unsigned char>(value[i]);
        if (IsControl(c) || c >= 0x80 || c == '"' || c == '\\') {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            shown += hex;
        } else {
            shown += static_cast<char>(c);
        }
    }
    shown += '"';
    if (value.size() > kShownOfAValue) shown += "...";
    return shown;
}

bool WholeNumber(const std::string& value, int64_t& n) {
    if (value.empty() || value.size() > 18) return false;
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
    return ec == std::errc() && end == value.data() + value.size();
}

class Reader {
public:
    Reader(std::string_view text, const std::string& path, std::string& error, std::vector<std::string>& notes)
        : lines_(Lines(text)), path_(path), error_(error), notes_(notes) {}

    int Count() const { return static_cast<int>(lines_.size()); }
    const std::string& Line(int n) const { return lines_[static_cast<std::size_t>(n - 1)]; }

    std::string At(int line, const std::string& what) const {
        return path_ + " line " + std::to_string(line) + ": " + what;
    }
    bool Fail(int line, const std::string& why) {
        error_ = At(line, why);
        return false;
    }
    void Note(int line, const std::string& what) { notes_.push_back(At(line, what)); }

    bool Need(int lines) {
        if (Count() >= lines) return true;
        return Fail(Count() + 1, "missing: the file ends after " + std::to_string(Count()) + " of its " +
                                     std::to_string(lines) + " lines");
    }
    // A value the door needs: a whole number from Lowest to Highest, or
    // the file is refused.
    bool Number(int line, const char* what, int64_t lowest, int64_t highest, int64_t& n) {
        if (WholeNumber(Line(line), n) && n >= lowest && n <= highest) return true;
        return Fail(line, std::string(what) + " " + Shown(Line(line)) + " is not a number from " +
                              std::to_string(lowest) + " to " + std::to_string(highest));
    }
    // A number kept for the log only: a bad one is dropped with a note, an
    // empty one is none given.
    std::optional<int> LoggedNumber(int line, const char* what, int highest) {
        int64_t n = 0;
        if (Line(line).empty()) return std::nullopt;
        if (WholeNumber(Line(line), n) && n >= 0 && n <= highest) return static_cast<int>(n);
        Note(line, std::string(what) + " " + Shown(Line(line)) + " is not a number from 0 to " +
                       std::to_string(highest) + ": not kept");
        return std::nullopt;
    }
    // A name kept for the log only, of Lines (a first and a last name
    // joined): one with a control byte in it is dropped, a long one cut,
    // each with a note.
    std::string Name(std::initializer_list<int> lines, const char* what) {
        std::string name;
        for (const int line : lines) {
            if (HasControlBytes(Line(line))) {
                Note(line, std::string(what) + " holds control bytes: not kept");
                return {};
            }
            if (!name.empty() && !Line(line).empty()) name += ' ';
            name += Line(line);
        }
        if (name.size() > kLongestDropName) {
            Note(*lines.begin(),
                 std::string(what) + " is longer than " + std::to_string(kLongestDropName) + " characters: cut");
            name.resize(kLongestDropName);
        }
        return name;
    }

private:
    std::vector<std::string> lines_;
    const std::string& path_;
    std::string& error_;
    std::vector<std::string>& notes_;
};

bool ReadDoor32(Reader& in, DropFile& drop) {
    if (!in.Need(kDoor32Lines)) return false;
    int64_t type = 0;
    if (!in.Number(1, "the connection type", 0, 2, type)) return false;
    if (type == 1) return in.Fail(1, "the caller is on a serial line, which this door does not serve");
    drop.Connection = type == 0 ? DropConnection::Local : DropConnection::Telnet;
    drop.HandleLine = 2;
    if (!in.Number(2, "the connection's handle", kStdioHandle, kHighestHandle, drop.Handle)) return false;
    if (drop.Connection == DropConnection::Telnet && drop.Handle == kStdioHandle)
        in.Note(2, "the handle is -1: the caller is on standard input and output");
    int64_t minutes = 0;
    if (!in.Number(9, "the minutes left", 0, kLongestStay, minutes)) return false;
    drop.MinutesLeft = static_cast<int>(minutes);
    int64_t emulation = 0;
    if (!in.Number(10, "the emulation", 0, 4, emulation)) return false;
    drop.Ansi = emulation != 0;
    drop.Board = in.Name({4}, "the board's name");
    const std::string alias = in.Name({7}, "the caller's alias");
    drop.Caller = !alias.empty() ? alias : in.Name({6}, "the caller's name");
    drop.Security = in.LoggedNumber(8, "the security level", kHighestSecurity);
    drop.Node = in.LoggedNumber(11, "the node", kHighestNode);
    return true;
}

// "COMn:", the port line of a DOOR.SYS.
bool IsDoorSysPort(const std::string& line) {
    return line.size() >= 5 && UpperCase(line.substr(0, 3)) == "COM" && line.back() == ':';
}

bool ReadDoorSys(Reader& in, DropFile& drop) {
    if (!in.Need(kDoorSysLines)) return false;
    const std::string& port = in.Line(1);
    int64_t n = 0;
    if (!IsDoorSysPort(port) || !WholeNumber(port.substr(3, port.size() - 4), n) || n < 0)
        return in.Fail(1, "the port " + Shown(port) + " is not COMn:");
    drop.Connection = n == 0 ? DropConnection::Local : DropConnection::Port;
    drop.HandleLine = 1;
    int64_t minutes = 0;
    if (!in.Number(19, "the minutes left", 0, kLongestStay, minutes)) return false;
    drop.MinutesLeft = static_cast<int>(minutes);
    const std::string& graphics = in.Line(20);
    if (graphics != "GR" && graphics != "NG" && graphics != "7E")
        return in.Fail(20, "the graphics " + Shown(graphics) + " are not GR, NG or 7E");
    drop.Ansi = graphics == "GR";
    drop.Caller = in.Name({10}, "the caller's name");
    return true;
}

// "COMn" with a number, the port line of a DORINFOn.DEF, that tells one
// apart by its lines.
bool IsDorInfoPort(const std::string& line) {
    int64_t n = 0;
    return line.size() >= 4 && UpperCase(line.substr(0, 3)) == "COM" && WholeNumber(line.substr(3), n) && n >= 0;
}

bool ReadDorInfo(Reader& in, DropFile& drop) {
    if (!in.Need(kDorInfoLines)) return false;
    // COM0 is the board's own console; any other port's caller is on the
    // door's standard input and output, which the console checks. A port
    // that is no name at all tells of a damaged file.
    const std::string& port = in.Line(4);
    if (port.empty() || port.size() > kLongestDropName || HasControlBytes(port))
        return in.Fail(4, "the port " + Shown(port) + " is no port's name");
    drop.Connection = UpperCase(port) == "COM0" ? DropConnection::Local : DropConnection::Port;
    drop.HandleLine = 4;
    int64_t graphics = 0;
    if (!in.Number(10, "the graphics", 0, kHighestGraphics, graphics)) return false;
    drop.Ansi = graphics != 0;  // 1 ANSI; 2 and on a board's own colour codes, over ANSI
    int64_t minutes = 0;
    if (!in.Number(12, "the minutes left", 0, kLongestStay, minutes)) return false;
    drop.MinutesLeft = static_cast<int>(minutes);
    drop.Board = in.Name({1}, "the board's name");
    drop.Caller = in.Name({7, 8}, "the caller's name");
    drop.Town = in.Name({9}, "the caller's town");
    drop.Security = in.LoggedNumber(11, "the security level", kHighestSecurity);
    return true;
}

// What the file's name tells: its kind, and for a DORINFOn.DEF the node.
struct Naming {
    std::optional<DropKind> kind;
    std::optional<int> node;
    std::string name;  // the file's name in upper case
};

Naming NameOf(const std::string& path) {
    Naming naming;
    const std::size_t slash = path.find_last_of("/\\");
    naming.name = UpperCase(slash == std::string::npos ? path : path.substr(slash + 1));
    const std::string& name = naming.name;
    if (name == "DOOR32.SYS") naming.kind = DropKind::Door32;
    if (name == "DOOR.SYS") naming.kind = DropKind::DoorSys;
    const bool dorinfo = name.size() >= 11 && name.size() <= 12 && name.rfind("DORINFO", 0) == 0 &&
                         name.compare(name.size() - 4, 4, ".DEF") == 0;
    if (!dorinfo) return naming;
    if (name.size() == 11) {
        naming.kind = DropKind::DorInfo;  // DORINFO.DEF: no node
        return naming;
    }
    // The node is a digit, or a letter for the nodes past 9: A is 10.
    const char n = name[7];
    if (n >= '0' && n <= '9') naming.node = n - '0';
    if (n >= 'A' && n <= 'Z') naming.node = 10 + (n - 'A');
    if (naming.node) naming.kind = DropKind::DorInfo;
    return naming;
}

DropKind KindOfLines(const Reader& in) {
    if (IsDoorSysPort(in.Line(1))) return DropKind::DoorSys;
    if (in.Count() >= 4 && IsDorInfoPort(in.Line(4))) return DropKind::DorInfo;
    return DropKind::Door32;
}

}  // namespace

std::string_view DropKindName(DropKind kind) {
    switch (kind) {
    case DropKind::Door32: return "DOOR32.SYS";
    case DropKind::DoorSys: return "DOOR.SYS";
    case DropKind::DorInfo: return "DORINFO.DEF";
    }
    return "";
}

bool ParseDropFile(std::string_view text, const std::string& path, DropFile& drop, std::string& error) {
    drop = DropFile{};
    Reader in(text, path, error, drop.Notes);
    if (in.Count() == 0 || (in.Count() == 1 && in.Line(1).empty())) return in.Fail(1, "missing: the file is empty");
    const Naming naming = NameOf(path);
    drop.Kind = naming.kind.value_or(KindOfLines(in));
    bool read = false;
    switch (drop.Kind) {
    case DropKind::Door32: read = ReadDoor32(in, drop); break;
    case DropKind::DoorSys: read = ReadDoorSys(in, drop); break;
    case DropKind::DorInfo: read = ReadDorInfo(in, drop); break;
    }
    if (!read) return false;
    if (naming.node) drop.Node = naming.node;
    drop.Described = naming.kind ? naming.name : std::string(DropKindName(drop.Kind)) + " by its lines";
    if (drop.Node) drop.Described += ", node " + std::to_string(*drop.Node);
    return true;
}

bool ReadDropFile(const std::string& path, DropFile& drop, std::string& error) {
    std::string text;
    std::string why;
    if (!sys::ReadFileTail(path, kLargestDropFile + 1, text, why)) {
        error = path + ": the drop file cannot be read: " + why;
        return false;
    }
    if (text.size() > kLargestDropFile) {
        error = path + ": is no drop file: it is larger than " + std::to_string(kLargestDropFile / 1024) + " KB";
        return false;
    }
    return ParseDropFile(text, path, drop, error);
}
