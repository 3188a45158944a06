#include "app/drop_file.h"

#include <charconv>
#include <vector>

#include "sys/sys.h"

namespace {

// A drop file is a few dozen short lines; anything much larger is no drop
// file, and is not read whole into memory.
constexpr std::size_t kLargestDropFile = 64 * 1024;
constexpr int kDoor32Lines = 11;
constexpr int kDoorSysLines = 20;  // the lines read here; boards write 52
constexpr int kLongestStay = 24 * 60 * 7;  // minutes: a week

// The lines of Text without their line ends (CR LF or LF) and the spaces
// that boards pad some values with.
std::vector<std::string> Lines(std::string_view text) {
    std::vector<std::string> lines;
    while (!text.empty()) {
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

bool WholeNumber(const std::string& value, int64_t& n) {
    if (value.empty() || value.size() > 18) return false;
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
    return ec == std::errc() && end == value.data() + value.size() && n >= 0;
}

class Reader {
public:
    Reader(std::string_view text, const std::string& path, std::string& error)
        : lines_(Lines(text)), path_(path), error_(error) {}

    int Count() const { return static_cast<int>(lines_.size()); }
    const std::string& Line(int n) const { return lines_[static_cast<std::size_t>(n - 1)]; }

    bool Fail(int line, const std::string& why) {
        error_ = path_ + " line " + std::to_string(line) + ": " + why;
        return false;
    }
    bool Need(int lines) {
        if (Count() >= lines) return true;
        return Fail(Count() + 1, "missing: the file ends after " + std::to_string(Count()) + " of its " +
                                     std::to_string(lines) + " lines");
    }
    bool Number(int line, const char* what, int64_t largest, int64_t& n) {
        if (WholeNumber(Line(line), n) && n <= largest) return true;
        return Fail(line, std::string(what) + " \"" + Line(line).substr(0, 40) + "\" is not a number from 0 to " +
                              std::to_string(largest));
    }

private:
    std::vector<std::string> lines_;
    const std::string& path_;
    std::string& error_;
};

bool ReadDoor32(Reader& in, DropFile& drop) {
    if (!in.Need(kDoor32Lines)) return false;
    drop.Door32 = true;
    int64_t type = 0;
    if (!in.Number(1, "the connection type", 2, type)) return false;
    if (type == 1) return in.Fail(1, "the caller is on a serial line, which this door does not serve");
    drop.Connection = type == 0 ? DropConnection::Local : DropConnection::Telnet;
    drop.HandleLine = 2;
    if (!in.Number(2, "the connection's handle", INT64_MAX / 2, drop.Handle)) return false;
    int64_t minutes = 0;
    if (!in.Number(9, "the minutes left", kLongestStay, minutes)) return false;
    drop.MinutesLeft = static_cast<int>(minutes);
    int64_t emulation = 0;
    if (!in.Number(10, "the emulation", 4, emulation)) return false;
    drop.Ansi = emulation != 0;
    drop.Caller = !in.Line(7).empty() ? in.Line(7) : in.Line(6);
    return true;
}

bool ReadDoorSys(Reader& in, DropFile& drop) {
    if (!in.Need(kDoorSysLines)) return false;
    drop.Door32 = false;
    const std::string& port = in.Line(1);  // "COMn:"
    int64_t n = 0;
    if (!WholeNumber(port.substr(3, port.size() - 4), n)) return in.Fail(1, "the port \"" + port + "\" is not COMn:");
    drop.Connection = n == 0 ? DropConnection::Local : DropConnection::Port;
    drop.HandleLine = 1;
    int64_t minutes = 0;
    if (!in.Number(19, "the minutes left", kLongestStay, minutes)) return false;
    drop.MinutesLeft = static_cast<int>(minutes);
    const std::string& graphics = in.Line(20);
    if (graphics != "GR" && graphics != "NG" && graphics != "7E")
        return in.Fail(20, "the graphics \"" + graphics.substr(0, 40) + "\" are not GR, NG or 7E");
    drop.Ansi = graphics == "GR";
    drop.Caller = in.Line(10);
    return true;
}

bool IsPortLine(const std::string& line) {
    return line.size() >= 5 && (line[0] == 'C' || line[0] == 'c') && (line[1] == 'O' || line[1] == 'o') &&
           (line[2] == 'M' || line[2] == 'm') && line.back() == ':';
}

}  // namespace

bool ParseDropFile(std::string_view text, const std::string& path, DropFile& drop, std::string& error) {
    Reader in(text, path, error);
    if (in.Count() == 0 || (in.Count() == 1 && in.Line(1).empty()))
        return in.Fail(1, "missing: the file is empty");
    drop = DropFile{};
    return IsPortLine(in.Line(1)) ? ReadDoorSys(in, drop) : ReadDoor32(in, drop);
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
