#include "app/caller_log.h"

#include <cstdio>

namespace {

std::string Hex(unsigned char byte) {
    static const char digits[] = "0123456789abcdef";
    return std::string("\\x") + digits[byte >> 4] + digits[byte & 15];
}

}  // namespace

std::string LogPrintable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == '\\')
            out += "\\\\";
        else if (byte >= 32 && byte < 127)
            out += c;
        else
            out += Hex(byte);
    }
    return out;
}

bool CallerLog::Open(const std::string& target) {
    target_ = target;
    if (target.empty()) return true;
    if (target == "-") {
        toStderr_ = true;
        return true;
    }
    std::string error;
    if (sys::OpenForAppending(target, file_, error)) return true;
    Fail(error);
    return false;
}

void CallerLog::Identify(std::optional<int> node, std::string_view caller) {
    std::string name;
    for (const char c : LogPrintable(caller)) {
        if (c == '"') name += '\\';
        name += c;
    }
    who_ = "node " + (node ? std::to_string(*node) : std::string("-")) + " \"" + name + "\"";
}

void CallerLog::Write(std::string_view event) {
    if (!Active()) return;
    const std::string line = sys::LocalTimeStamp() + " " + who_ + " " + LogPrintable(event) + "\n";
    if (toStderr_) {
        std::fwrite(line.data(), 1, line.size(), stderr);
        std::fflush(stderr);
        return;
    }
    std::string error;
    if (!sys::WriteAll(file_, line.data(), line.size(), error)) Fail(error);
}

void CallerLog::Fail(const std::string& why) {
    std::fprintf(stderr, "quixmag: the log %s cannot be written (%s): the magazine goes on without it\n",
                 target_.c_str(), why.c_str());
    std::fflush(stderr);
    file_ = sys::File();
}
