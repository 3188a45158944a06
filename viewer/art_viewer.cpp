#include "viewer/art_viewer.h"

#include <algorithm>

#include "ansi/ansi_renderer.h"
#include "console/conapi.h"
#include "console/key_codes.h"
#include "console/m_Console.h"
#include "widgets/boxes.h"

namespace {

// The bytes a format spends on a cell, for pacing a piece of cells as its
// file would be read.
constexpr std::size_t kBytesPerCell = 2;

// The window that follows the drawing: the first rows while the drawing
// is within the screen, then the rows up to the cursor's, never past the
// page's last rows.
CanvasView Following(const TCanvas& drawing, int lastTop) {
    CanvasView view;
    if (drawing.WhereY() > ScreenRows) view.Top = std::clamp(drawing.WhereY() - CanvasViewRows + 1, 1, lastTop);
    return view;
}

// The window a finished drawing stops on: a piece that fits the screen
// from its first row, a taller one on its last rows.
CanvasView Finished(const TCanvas& canvas) {
    return canvas.Rows() > ScreenRows ? LastRowsView(canvas) : CanvasView{};
}

}  // namespace

ArtLook::ArtLook(const Art& art) {
    const Sauce& record = art.Record;
    conapi::DescribeLook(record.LetterSpacing == 9 ? 9 : 8, record.Aspect == SauceAspect::Legacy);
    described_ = art.Font.Own();
    if (described_) ownFont_ = conapi::DescribeFont(art.Font.Glyphs, art.Font.Height, art.Font.Count);
}

ArtLook::~ArtLook() {
    conapi::DescribeLook(8, false);
    if (described_) conapi::DescribeFont({}, 16, 256);
}

CanvasView DrawArtPaced(const Art& art, std::string_view file, int32_t PauseInterval) {
    SetTextColor(7);
    ClearScreen();
    const TCanvas& canvas = art.Canvas;
    const int lastTop = LastRowsView(canvas).Top;
    if (art.Format == ArtFormat::Ansi) {
        // The file is drawn again, at its pace, on a page of the piece's
        // width, and the screen shows that page as it grows.
        TCanvas drawing(canvas.Width(), true);
        const BlinkRule blink = !art.Record.Present ? BlinkRule::Screen
                                : art.Record.IceColours ? BlinkRule::Bright
                                                        : BlinkRule::Ignored;
        ShowAnsiPiece(file.substr(0, art.Record.ArtEnd), PauseInterval, blink, drawing,
                      [&] { DrawCanvasView(drawing, Following(drawing, lastTop), ScreenRows); });
    } else {
        RevealRowsPaced(canvas.Rows(), kBytesPerCell * static_cast<std::size_t>(canvas.Width()), PauseInterval,
                        [&](int row) {
                            CanvasView view;
                            view.Top = std::clamp(row - CanvasViewRows + 1, 1, lastTop);
                            DrawCanvasView(canvas, view, std::min<int>(ScreenRows, row - view.Top + 1));
                        });
    }
    const CanvasView view = Finished(canvas);
    DrawCanvasView(canvas, view);
    return view;
}

std::string ArtCreditLine(const Sauce& record) {
    if (record.Title.empty() && record.Author.empty()) return {};
    std::string line = record.Title.empty() ? "a piece" : record.Title;
    if (!record.Author.empty()) line += " by " + record.Author;
    if (!record.Group.empty()) line += (record.Author.empty() ? " by " : " / ") + record.Group;
    return line;
}

namespace {

std::string DateOf(const std::string& d) {
    return d.size() == 8 ? d.substr(0, 4) + "-" + d.substr(4, 2) + "-" + d.substr(6, 2) : "";
}

std::string FontOf(const Art& art, bool drawsOwnFont) {
    if (!art.Font.Own()) return art.Record.Font;
    std::string font = "its own, " + std::to_string(art.Font.Count) + " glyphs of " +
                       std::to_string(art.Font.Height) + " rows";
    if (!drawsOwnFont) font += ", shown here in the standard glyphs";
    return font;
}

std::string FlagsOf(const Sauce& record, bool brightBackgrounds) {
    std::vector<std::string> flags;
    if (brightBackgrounds && record.IceColours) flags.emplace_back("bright backgrounds");
    if (record.LetterSpacing > 0) flags.push_back(std::to_string(record.LetterSpacing) + "-pixel letters");
    if (record.Aspect == SauceAspect::Legacy) flags.emplace_back("legacy aspect");
    if (record.Aspect == SauceAspect::Square) flags.emplace_back("square pixels");
    std::string out;
    for (const std::string& f : flags) out += (out.empty() ? "" : ", ") + f;
    return out;
}

// The credits box's place, and the rows and columns inside its frame.
constexpr Byte kLeft = 6, kTop = 3, kRight = 75, kBottom = 22;
constexpr int kInner = kRight - kLeft - 3;  // 66: a comment line's 64 fit whole
constexpr int kRoom = kBottom - kTop - 3;

void DrawCreditRows(const std::vector<std::string>& rows, int first) {
    for (int i = 0; i < kRoom; ++i) {
        const auto at = static_cast<std::size_t>(first + i);
        const std::string row = at < rows.size() ? rows[at].substr(0, kInner) : std::string();
        WriteXY(kLeft + 2, kTop + 1 + i, 0x70, PadRight(row, kInner, ' '));
    }
    const bool more = static_cast<int>(rows.size()) > kRoom;
    WriteXY(kLeft + 2, kBottom - 1, 0x78,
            PadCenter(more ? "up, down, page keys: more; any other key closes" : "press a key", kInner, ' '));
}

// The credits as the box shows them: a row wider than the box goes on in
// rows of its own under its field's text, broken at a space where there is
// one (a long font line would otherwise lose its end).
std::vector<std::string> BoxRows(const std::vector<std::string>& credits) {
    constexpr std::size_t kWidth = kInner, kIndent = 9;
    std::vector<std::string> out;
    for (const std::string& row : credits) {
        std::string rest = row;
        std::string lead;
        while (rest.size() > kWidth - lead.size()) {
            const std::size_t room = kWidth - lead.size();
            std::size_t cut = rest.rfind(' ', room);
            if (cut == std::string::npos || cut == 0) cut = room;
            out.push_back(lead + rest.substr(0, cut));
            const std::size_t next = rest.find_first_not_of(' ', cut);
            rest = next == std::string::npos ? std::string() : rest.substr(next);
            lead = std::string(kIndent, ' ');
        }
        if (!rest.empty() || lead.empty()) out.push_back(lead + rest);
    }
    return out;
}

}  // namespace

std::vector<std::string> ArtCredits(const Art& art, bool drawsOwnFont) {
    const Sauce& record = art.Record;
    std::vector<std::string> rows{"title  : " + record.Title, "author : " + record.Author,
                                  "group  : " + record.Group, "date   : " + DateOf(record.Date)};
    rows.push_back("size   : " + std::to_string(art.Canvas.Width()) + " columns x " +
                   std::to_string(art.Canvas.Rows()) + " rows");
    for (const std::string& disagreement : art.RecordDisagrees) rows.push_back("         (" + disagreement + ")");
    rows.push_back("format : " + std::string(ArtFormatName(art.Format)));
    rows.push_back("font   : " + FontOf(art, drawsOwnFont));
    rows.push_back("flags  : " + FlagsOf(record, art.BrightBackgrounds));
    if (!record.Comments.empty()) rows.emplace_back();
    for (const std::string& comment : record.Comments) rows.push_back(comment);
    return rows;
}

void ShowArtCredits(const Art& art, bool drawsOwnFont) {
    const std::vector<std::string> rows = BoxRows(ArtCredits(art, drawsOwnFont));
    TMenuBox box;
    box.FrameStyle = 1;
    box.Title = " c r e d i t s ";
    box.Draw(kLeft, kTop, kRight, kBottom);
    const int lastFirst = std::max(0, static_cast<int>(rows.size()) - kRoom);
    int first = 0;
    for (;;) {
        DrawCreditRows(rows, first);
        if (ReadKey() != 0) break;
        const Byte code = static_cast<Byte>(ReadKey());
        if (code == KeyUp) first -= 1;
        else if (code == KeyDown) first += 1;
        else if (code == KeyPgUp) first -= kRoom;
        else if (code == KeyPgDn) first += kRoom;
        else break;
        first = std::clamp(first, 0, lastFirst);
    }
    RestoreScreen(box.Background);
}
