#include "viewer/text_rules.h"

#include "console/m_Console.h"

namespace contentrules {

bool StrayCodeAt(std::string_view text, std::size_t pos) {
    const std::string code(text.substr(pos + 1, 2));
    if (!IsPipeCode(code, PipeRule::WriteXYPipe)) return false;
    const bool twoDigits = code.size() == 2 && code[0] >= '0' && code[0] <= '9' && code[1] >= '0' && code[1] <= '9';
    return !(twoDigits && (code[0] - '0') * 10 + (code[1] - '0') <= 23);
}

Problems CheckText(std::string_view name, std::string_view bytes, int kMinLines) {
    constexpr int kMaxLines = 250;
    constexpr int kMaxWidth = 79;
    constexpr int kMaxReports = 5;  // per rule; the count says the rest
    const std::string n(name);
    Problems out;

    std::vector<std::string_view> lines;
    for (std::size_t start = 0; start < bytes.size();) {
        const std::size_t lf = bytes.find('\n', start);
        const std::size_t end = lf == std::string_view::npos ? bytes.size() : lf;
        lines.push_back(bytes.substr(start, end - start));
        start = end + 1;
    }
    if (static_cast<int>(lines.size()) < kMinLines || static_cast<int>(lines.size()) > kMaxLines)
        out.push_back(n + ": has " + std::to_string(lines.size()) + " lines, wanted " + std::to_string(kMinLines) +
                      ".." + std::to_string(kMaxLines));
    if (!bytes.empty() && bytes.back() != '\n') out.push_back(n + ": the last line has no LF");

    struct Rule {
        std::string what;
        int count = 0;
    };
    Rule cr{"ends with CR (line ends are LF only)"}, wide{"is longer than 79 characters, colour codes counted"},
        high{"holds a byte above 127 (texts are 7-bit)"}, control{"holds a control byte"},
        marker{"holds \"!\" (it marks header fields)"}, bar{"holds a \"|\" that reads as a colour code outside 00..23"};
    auto report = [&](Rule& rule, std::size_t line, const std::string& detail) {
        if (rule.count++ < kMaxReports)
            out.push_back(n + ": line " + std::to_string(line + 1) + " " + rule.what + detail);
    };
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        bool sawHigh = false, sawControl = false, sawCr = false;
        for (std::size_t k = 0; k < line.size(); ++k) {
            const auto b = static_cast<unsigned char>(line[k]);
            if (b == '\r')
                sawCr = true;
            else if (b >= 128)
                sawHigh = true;
            else if (b < 32 || b == 127)
                sawControl = true;
        }
        if (sawCr) report(cr, i, "");
        if (sawHigh) report(high, i, "");
        if (sawControl) report(control, i, "");
        if (line.find('!') != std::string_view::npos) report(marker, i, "");
        for (std::size_t k = line.find('|'); k != std::string_view::npos; k = line.find('|', k + 1))
            if (StrayCodeAt(line, k)) {
                report(bar, i, " (column " + std::to_string(k + 1) + ")");
                break;
            }
        if (line.size() > static_cast<std::size_t>(kMaxWidth))
            report(wide, i, " (" + std::to_string(line.size()) + ")");
    }
    for (const Rule* rule : {&cr, &wide, &high, &control, &marker, &bar})
        if (rule->count > kMaxReports)
            out.push_back(n + ": " + std::to_string(rule->count - kMaxReports) + " more line(s) " + rule->what);
    return out;
}

}  // namespace contentrules
