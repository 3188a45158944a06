#include "console/m_SaveName.h"

#include <cstdlib>
#include <string_view>

#include "console/cp437.h"
#include "sys/sys.h"

namespace {

// Whether Charset is plain ASCII, as the C library names it in the C and
// POSIX locales.
bool IsAscii(std::string_view charset) {
    return charset == "ANSI_X3.4-1968" || charset == "ASCII" || charset == "US-ASCII";
}

// The character set of a locale the C library does not have, judged by its
// name ("de_DE.ISO-8859-1@euro" is ISO-8859-1), as the terminal judges it;
// empty when the name does not say.
std::string CharsetOfLocaleName() {
    if (cp437::EnvironmentSaysUtf8(std::getenv("LC_ALL"), std::getenv("LC_CTYPE"), std::getenv("LANG"))) return "UTF-8";
    for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value == nullptr || *value == '\0') continue;
        const std::string_view name(value);
        const std::size_t dot = name.find('.');
        if (dot == std::string_view::npos) return {};
        return std::string(name.substr(dot + 1, name.find('@', dot) - dot - 1));
    }
    return {};
}

bool PlainAscii(const std::string& text) {
    for (const char ch : text)
        if (static_cast<unsigned char>(ch) < 0x20 || static_cast<unsigned char>(ch) >= 0x7F) return false;
    return true;
}

}  // namespace

bool SystemFileName(const std::string& Typed, std::string& Name, std::string& Error) {
    // Printable ASCII is the same in every character set there is.
    if (PlainAscii(Typed)) {
        Name = Typed;
        return true;
    }
    const std::string utf8 = cp437::ToUtf8(Typed);
    std::string charset = sys::SystemCharset();
    if (charset.empty()) charset = CharsetOfLocaleName();
    // Without a character set of its own beyond ASCII, the system's other
    // programs show names as UTF-8.
    if (charset.empty() || IsAscii(charset) || cp437::NamesUtf8(charset)) {
        Name = utf8;
        return true;
    }
    return sys::NameFromUtf8(utf8, charset, Name, Error);
}
