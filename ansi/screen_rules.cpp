#include "ansi/screen_rules.h"

#include <algorithm>
#include <cstdlib>

#include "ansi/ansi_renderer.h"
#include "ansi/art.h"
#include "ansi/sauce.h"
#include "console/con_memory.h"
#include "console/m_Console.h"
#include "issue/layout.h"
#include "issue/sections.h"

namespace contentrules {

std::vector<Box> BoxesOf(std::string_view name) {
    // The section table's screens, in capitals as the checker names them,
    // with or without their twin's suffix.
    std::string base = Lower(std::string(name));
    if (base.size() > 4 && base.ends_with("_asc")) base.resize(base.size() - 4);
    const issue::SectionTable& table = issue::Sections();
    auto boxOf = [](const issue::Box& b) { return Box{b.Column, b.Row, b.Right(), b.Bottom()}; };
    if (base == table.Main.Screen)
        return {boxOf(table.Main.Menu), {table.Main.MessageFirst, table.Main.MessageRow, table.Main.MessageLast,
                                         table.Main.MessageRow}};
    for (const issue::Section& section : table.Sections) {
        if (section.Screen != base) continue;
        // A page's window covers the rows below its first, every column.
        if (section.Kind == issue::SectionKind::Page)
            return {{1, section.Window.Row, 80, section.Window.Row + section.Window.Rows}};
        return {boxOf(section.Menu)};
    }
    return {};
}

bool IsHeader(std::string_view name) { return name == "ARTICLE_HDR" || name == "ARTICLE_HDR_ASC"; }

Problems CheckFits(const ScreenDrawer& drawer, std::string_view name, std::string_view bytes) {
    if (drawer.Scrolls(bytes))
        return {std::string(name) +
                ": scrolls the screen while drawing (a line feed on row 25, or a character in the last cell "
                "of row 25): it does not fit 80x25"};
    return {};
}

Problems CheckEnding(const ScreenDrawer& drawer, std::string_view name, std::string_view bytes) {
    const std::string_view drawn = bytes.substr(0, bytes.find('\x1a'));
    drawer.Draw(std::string(drawn) + "\x1b[1;1HZ");
    if (CharAt(1, 1) == 'Z') return {};
    return {std::string(name) + ": ends inside an escape sequence (the file was cut short?)"};
}

Problems CheckSauce(std::string_view name, std::string_view bytes) {
    Problems out;
    const Sauce sauce = ReadSauce(bytes);
    for (const std::string& fault : sauce.Faults) out.push_back(std::string(name) + ": SAUCE record: " + fault);
    if (sauce.Width > issue::PieceMaxWidth)
        out.push_back(std::string(name) + ": SAUCE record: the width is " + std::to_string(sauce.Width) +
                      " columns, wider than the gallery can pan (at most " + std::to_string(issue::PieceMaxWidth) +
                      ")");
    return out;
}

Problems CheckBoxClear(std::string_view name, const Box& box) {
    int dirty = 0;
    std::string first;
    for (int row = box.Top; row <= box.Bottom; ++row)
        for (int col = box.Left; col <= box.Right; ++col) {
            const conapi::Cell c = memcon::CellAt(col - 1, row - 1);
            const uint16_t ch = c.Char & 0xFF;
            const bool blank = ch == ' ' || ch == 0;
            const bool blackBack = (c.Attr & 0xF0) == 0;
            if (blank && blackBack) continue;
            if (dirty++ == 0)
                first = "column " + std::to_string(col) + " row " + std::to_string(row) + " holds " +
                        (blank ? std::string("a blank") : "character " + std::to_string(ch)) + " with attribute " +
                        std::to_string(c.Attr);
        }
    if (dirty == 0) return {};
    return {std::string(name) + ": the area columns " + std::to_string(box.Left) + ".." + std::to_string(box.Right) +
            " rows " + std::to_string(box.Top) + ".." + std::to_string(box.Bottom) + " must stay blank on black, but " +
            std::to_string(dirty) + " cell(s) do not (first: " + first + ")"};
}

std::vector<Step> StepsOf(const ScreenDrawer& drawer, std::string_view bytes) {
    const std::vector<std::pair<int, int>> trace = drawer.CursorTrace(bytes);
    std::vector<Step> steps;
    enum class State { Text, Escape, Params } state = State::Text;
    std::string params;
    std::size_t next = 0, pause = 0;
    std::vector<std::size_t> given;  // offsets given back, the last one read first
    int col = 1, row = 1;            // where the cursor stands; 0 when not known
    auto advance = [&] {             // after a character drawn at (col, row)
        if (col == 0) return;
        if (col < 80) ++col;
        else if (col == 80 && row == 24) col = 81;
        else col = 1, row = std::min(25, row + 1);
    };
    auto take = [&](std::size_t& at, bool& paused) {
        paused = false;
        if (!given.empty()) {
            at = given.back();
            given.pop_back();
            return true;
        }
        if (next >= bytes.size()) return false;
        at = next++;
        return true;
    };
    // One byte of the file, as the interpreter takes it.
    auto feed = [&](std::size_t at) {
        const char ch = bytes[at];
        const auto u = static_cast<unsigned char>(ch);
        Step step{at, Did::Colour, col, row};
        if (state == State::Text) {
            if (ch == '\x1b') {
                state = State::Escape;
                return;
            }
            if (ch == '\n') step.What = Did::LineEnd;
            else if (ch == '\r') step.What = Did::Return;
            else if (ch == 0) step.What = Did::Colour;
            else if (ch == '\t' || ch == '\b' || ch == '\x0c') step.What = Did::Move;
            else step.What = Did::Glyph;
        } else if (state == State::Escape) {
            state = ch == '[' ? State::Params : State::Text;
            params.clear();
            return;
        } else if ((ch >= '0' && ch <= '9') || ch == ';' || ch == '?') {
            params += ch;
            return;
        } else {
            state = State::Text;
            if (u >= '0' && ch != 'm') step.What = Did::Move;
            if (ch == 'H' || ch == 'f') step.PlacedRow = params.empty() || params[0] == ';' ? 1 : std::atoi(params.c_str());
        }
        steps.push_back(step);
        if (step.What == Did::Glyph) advance();
        else if (step.What != Did::Colour) col = row = 0;
    };
    while (true) {
        std::size_t at = 0;
        bool unused = false;
        const bool fromFile = given.empty();
        if (!take(at, unused)) break;
        if (fromFile) {
            if (pause < trace.size()) {
                col = trace[pause].first;
                row = trace[pause].second;
            }
            ++pause;
        }
        if (bytes[at] == '\x1a') break;
        if (bytes[at] != '|') {
            feed(at);
            continue;
        }
        std::size_t c1 = 0, c2 = 0;
        if (!take(c1, unused) || !take(c2, unused)) {
            feed(at);
            break;
        }
        const char d1 = bytes[c1], d2 = bytes[c2];
        if (d1 >= '0' && d1 <= '9' && d2 >= '0' && d2 <= '9' && (d1 - '0') * 10 + (d2 - '0') <= 23) {
            if (state == State::Text) steps.push_back({at, Did::Colour, col, row});
            continue;
        }
        feed(at);
        given.push_back(c2);
        given.push_back(c1);
    }
    return steps;
}

Findings CheckRowWidths(const std::vector<Step>& steps) {
    Findings out;
    bool runsOn = false;  // a full row goes straight on into a longer next row
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const Step& full = steps[i];
        if (full.What != Did::Glyph || full.Col != 80 || full.Row >= 25) continue;
        std::size_t k = i + 1;
        while (k < steps.size() && steps[k].What == Did::Colour) ++k;
        if (k == steps.size() || steps[k].What != Did::Glyph) continue;
        const std::size_t first = k;
        int width = 0;
        for (; k < steps.size() && (steps[k].What == Did::Glyph || steps[k].What == Did::Colour); ++k)
            if (steps[k].What == Did::Glyph) ++width;
        if (width > kOverflowColumns) {
            runsOn = true;
            continue;
        }
        out.push_back({steps[first].Offset,
                       "row " + std::to_string(full.Row) + " is " + std::to_string(80 + width) +
                           " columns wide: the 81st character wraps onto row " + std::to_string(full.Row + 1) +
                           " and every row below moves down"});
        i = k - 1;
    }
    if (runsOn) return {};
    return out;
}

Findings CheckFullRowLineEnds(const std::vector<Step>& steps, std::string_view bytes) {
    std::vector<std::size_t> lineEnds;  // offsets of line ends right after a full row
    for (std::size_t i = 0; i < steps.size(); ++i) {
        if (steps[i].What != Did::Glyph || steps[i].Col != 80 || steps[i].Row >= 24) continue;
        std::size_t k = i + 1;
        while (k < steps.size() && (steps[k].What == Did::Colour || steps[k].What == Did::Return)) ++k;
        if (k < steps.size() && steps[k].What == Did::LineEnd) lineEnds.push_back(steps[k].Offset);
    }
    for (std::size_t i = 0; i + 1 < lineEnds.size(); ++i) {
        const auto line = std::count(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(lineEnds[i]), '\n');
        const auto nextLine =
            std::count(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(lineEnds[i + 1]), '\n');
        if (nextLine != line + 1) continue;
        return {{lineEnds[i],
                 "the line ends after a full 80-column row, and so does the next: the 80th character already "
                 "moved the cursor to the next row, so every such line end leaves an empty row and the art is "
                 "shown double-spaced"}};
    }
    return {};
}

bool SameCells(const std::vector<conapi::Cell>& a, const std::vector<conapi::Cell>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].Char != b[i].Char || a[i].Attr != b[i].Attr) return false;
    return true;
}

std::vector<conapi::Cell> Cells() {
    std::vector<conapi::Cell> cells;
    for (int row = 0; row < 25; ++row)
        for (int col = 0; col < 80; ++col) cells.push_back(memcon::CellAt(col, row));
    return cells;
}

std::size_t FirstLineShowing(std::string_view bytes, const std::function<bool(std::string_view)>& shows) {
    std::vector<std::size_t> ends;  // drawing up to each line end, the last one the whole file
    for (std::size_t end = bytes.find('\n'); end != std::string_view::npos; end = bytes.find('\n', end + 1))
        ends.push_back(end + 1);
    ends.push_back(bytes.size());
    std::size_t lo = 0, hi = ends.size() - 1;
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (shows(bytes.substr(0, ends[mid])))
            hi = mid;
        else
            lo = mid + 1;
    }
    return ends[lo] - 1;
}

Findings CheckHomed(const ScreenDrawer& drawer, std::string_view bytes) {
    auto differs = [&](std::string_view part) {
        drawer.DrawFrom(part, 1, 1);
        const std::vector<conapi::Cell> home = Cells();
        drawer.DrawFrom(part, kAwayCol, kAwayRow);
        return !SameCells(home, Cells());
    };
    if (!differs(bytes)) return {};
    return {{FirstLineShowing(bytes, differs), "looks different when the cursor does not stand at the top-left corner as it begins (it "
                           "was drawn from column " + std::to_string(kAwayCol) + " row " + std::to_string(kAwayRow) +
                               " as well): the menus draw a backdrop wherever the wipe before it left the cursor"}};
}

Problems CheckTwinBytes(std::string_view name, std::string_view bytes) {
    Problems out;
    std::size_t esc = 0, high = 0, control = 0;
    std::size_t firstBad = std::string_view::npos;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        const bool allowed = (b >= 32 && b <= 126) || b == '\r' || b == '\n' || b == 26 || (b == 12 && i == 0);
        if (allowed) continue;
        if (firstBad == std::string_view::npos) firstBad = i;
        if (b == 27)
            ++esc;
        else if (b >= 128)
            ++high;
        else
            ++control;
    }
    if (esc)
        out.push_back(std::string(name) + ": holds " + std::to_string(esc) +
                      " ESC byte(s); a twin draws with pipe codes only");
    if (high)
        out.push_back(std::string(name) + ": holds " + std::to_string(high) + " byte(s) above 127; a twin is 7-bit");
    if (control)
        out.push_back(std::string(name) + ": holds " + std::to_string(control) +
                      " control byte(s) other than CR, LF, SUB and a first FF (first at offset " + std::to_string(firstBad) + ")");
    return out;
}

Problems CheckMarkerCount(std::string_view name, std::string_view bytes) {
    if (!IsHeader(name)) return {};
    std::size_t count = 0;
    for (char c : bytes)
        if (c == '!') ++count;
    if (count == 5) return {};
    return {std::string(name) + ": holds " + std::to_string(count) +
            " \"!\" byte(s), wanted exactly 5 (the header's field markers)"};
}

Problems CheckHeaderFields(std::string_view name) {
    const std::vector<TCoord> fields = FindMarkerRuns('!');
    const std::string n(name);
    if (fields.size() != 5)
        return {n + ": the drawn header shows " + std::to_string(fields.size()) + " \"!\" run(s), wanted 5"};
    Problems out;
    // In a field record: X column, Y row, Width attribute, Height length.
    for (std::size_t i = 0; i < fields.size(); ++i)
        if (fields[i].Height != 1)
            out.push_back(n + ": header field " + std::to_string(i) + " at column " + std::to_string(fields[i].X) +
                          " row " + std::to_string(fields[i].Y) + " is " + std::to_string(fields[i].Height) +
                          " markers long, wanted 1");
    const TCoord& top = fields[3];
    const TCoord& bottom = fields[4];
    if (top.X != 1)
        out.push_back(n + ": the window's top-left marker (field 3) is in column " + std::to_string(top.X) +
                      ", wanted column 1");
    if (bottom.Y <= top.Y || bottom.X <= top.X)
        out.push_back(n + ": the window's bottom-right marker (field 4, column " + std::to_string(bottom.X) + " row " +
                      std::to_string(bottom.Y) + ") is not below and right of the top-left one (column " +
                      std::to_string(top.X) + " row " + std::to_string(top.Y) + ")");
    return out;
}

Findings CheckLayout(const ScreenDrawer& drawer, std::string_view bytes) {
    Findings out;
    auto add = [&](Findings more) { out.insert(out.end(), more.begin(), more.end()); };
    const std::vector<Step> steps = StepsOf(drawer, bytes);
    add(CheckRowWidths(steps));
    add(CheckFullRowLineEnds(steps, bytes));
    add(CheckHomed(drawer, bytes));
    return out;
}

Findings CheckPiece(const ScreenDrawer& drawer, std::string_view fileName, std::string_view bytes, int width,
                           bool& text) {
    Findings out;
    const Sauce record = ReadSauce(bytes);
    for (const std::string& fault : record.Faults) out.push_back({0, "SAUCE record: " + fault});
    if (record.Width > issue::PieceMaxWidth)
        out.push_back({0, "SAUCE record: the width is " + std::to_string(record.Width) +
                              " columns, wider than the gallery can pan (at most " +
                              std::to_string(issue::PieceMaxWidth) + ")"});
    Art art;
    ArtProblem problem;
    const bool read = ReadArt(bytes, fileName, width, art, problem);
    text = art.Format == ArtFormat::Ansi || art.Format == ArtFormat::PcBoard;
    if (!read) {
        out.push_back({problem.Offset, problem.Text});
        return out;
    }
    if (art.Format == ArtFormat::Ansi) {
        const std::string_view drawn = bytes.substr(0, record.ArtEnd);
        drawer.Draw(std::string(drawn.substr(0, drawn.find('\x1a'))) + "\x1b[1;1HZ");
        if (CharAt(1, 1) != 'Z')
            out.push_back({drawn.rfind('\x1b'), "ends inside an escape sequence (the file was cut short?)"});
    }
    if (art.Canvas.RowsAskedFor() > issue::PieceMaxRows) {
        // At the line whose drawing first goes past the last row, for a text
        // format; the binary readers refuse such a piece themselves.
        const std::size_t at = FirstLineShowing(bytes.substr(0, record.ArtEnd), [&](std::string_view part) {
            Art partial;
            ArtProblem ignored;
            return ReadArt(part, fileName, width, partial, ignored) &&
                   partial.Canvas.RowsAskedFor() > issue::PieceMaxRows;
        });
        out.push_back({at, "the piece is " + std::to_string(art.Canvas.RowsAskedFor()) +
                               " rows tall, but the gallery shows at most " + std::to_string(issue::PieceMaxRows)});
    }
    for (const std::string& disagreement : art.RecordDisagrees) out.push_back({0, "SAUCE record: " + disagreement});
    return out;
}

}  // namespace contentrules
