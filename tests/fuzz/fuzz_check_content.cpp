// The issue checker on whole issue folders made of mutated files. The
// input is a folder in one piece: the manifest first, then each file after
// a line "@@ NAME" (or "@@! NAME" for a file that cannot be read):
//
//   number = 2 ...
//   @@ harbour.txt
//   HARBOUR LIGHTS ...
//
// The folder is handed to the checker in memory (CheckFiles), and the
// renderer draws from memory too, so no file is written per input.
// Besides crashes and hangs it checks that every problem is one line that
// names a file of the folder, and that a folder without problems had a
// manifest with a number.
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz_common.h"
#include "tools/issue_check.h"

namespace {

constexpr std::string_view kFolder = "/issue";

bool PlainName(std::string_view name) {
    if (name.empty() || name.size() > 40) return false;
    for (char c : name)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '.'))
            return false;
    return name != "." && name != "..";
}

// Splits the input into the folder's files. A piece under a name that is
// not plain is dropped; a name given twice keeps its first piece.
issuecheck::FolderFiles Unpack(std::string_view input) {
    issuecheck::FolderFiles files;
    constexpr std::string_view kMark = "\n@@";
    std::size_t end = input.find(kMark);
    files.emplace("issue.toml", std::string(input.substr(0, end)));
    while (end != std::string_view::npos) {
        std::size_t at = end + kMark.size();
        const bool unreadable = at < input.size() && input[at] == '!';
        if (unreadable) ++at;
        if (at < input.size() && input[at] == ' ') ++at;
        const std::size_t nameEnd = input.find('\n', at);
        if (nameEnd == std::string_view::npos) break;
        const std::string_view name = input.substr(at, nameEnd - at);
        end = input.find(kMark, nameEnd);
        const std::string_view bytes =
            input.substr(nameEnd + 1, end == std::string_view::npos ? std::string_view::npos : end - nameEnd - 1);
        if (!PlainName(name)) continue;
        if (unreadable)
            files.emplace(std::string(name), std::nullopt);
        else
            files.emplace(std::string(name), std::string(bytes));
    }
    return files;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const issuecheck::FolderFiles files = Unpack(std::string_view(reinterpret_cast<const char*>(data), size));
    issuecheck::Lines problems;
    issue::Manifest manifest;
    const issuecheck::Totals totals = issuecheck::CheckFiles(std::string(kFolder), files, problems, manifest);
    DoneConsole();

    for (const std::string& line : problems) {
        // "FOLDER/FILE: text" or "FOLDER/FILE:LINE: text", on one line.
        FUZZ_CHECK(line.find('\n') == std::string::npos && line.find('\r') == std::string::npos);
        FUZZ_CHECK(line.rfind(std::string(kFolder) + "/", 0) == 0);
        const std::size_t colon = line.find(": ");
        FUZZ_CHECK(colon != std::string::npos && colon + 2 < line.size());
    }
    FUZZ_CHECK(totals.Screens + totals.Texts <= static_cast<int>(files.size()));
    if (problems.empty()) FUZZ_CHECK(manifest.Number >= 1 && manifest.Number <= 9999);
    return 0;
}
