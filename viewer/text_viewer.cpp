#include "viewer/text_viewer.h"

#include <algorithm>

#include "console/conapi.h"
#include "console/key_codes.h"
#include "console/m_SaveName.h"
#include "sys/sys.h"
#include "sys/text.h"
#include "sys/workfiles.h"
#include "widgets/boxes.h"
#include "widgets/prompts.h"

namespace {

// Splits the file's bytes at CR LF, a lone CR or a lone LF. A break at
// the very end adds no empty line.
std::vector<std::string> SplitLines(std::string_view bytes) {
    std::vector<std::string> lines;
    std::string line;
    bool pending = false;  // a line has begun since the last break
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(line);
            line.clear();
            pending = false;
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
            continue;
        }
        line += c;
        pending = true;
    }
    if (pending) lines.push_back(line);
    return lines;
}

// The character the console shows at (X, Y).
char ShownChar(int x, int y) {
    TScreenImage cell;
    Screen->SaveRegion(x, y, x, y, cell);
    return static_cast<char>(cell.Data[0].Char & 0xFF);
}

}  // namespace

void ttextviewer::Load(const std::string& FileName) {
    Lines.clear();
    Unreadable = false;
    if (IsFile(FileName)) {
        std::string bytes;
        std::string error;
        if (sys::ReadWholeFile(FileName, bytes, error)) {
            LoadText(bytes);
            return;
        }
        Unreadable = true;
        Lines = {" ", "|12the text could not be read.|07"};
    } else {
        Lines = {" "};
    }
    TopLine = 0;
    LeftCol = 0;
}

void ttextviewer::LoadText(std::string_view Bytes) {
    Lines = SplitLines(Bytes);
    Unreadable = false;
    TopLine = 0;
    LeftCol = 0;
}

void ttextviewer::ClearWindow() {
    for (int row = Window.Y; row <= Window.Y + Window.Height; ++row)
        WriteXY(Window.X, row, 0, RepeatChar(' ', Window.Width));
}

void ttextviewer::DrawScrollBar() {
    const int count = static_cast<int>(Lines.size());
    const int height = Window.Height;
    const int col = Window.X + Window.Width - 1;
    const int size = std::min(std::max(height * height / count, 1), height);
    const int pos = static_cast<int>(static_cast<double>(TopLine) / count * height);
    for (int row = Window.Y; row < Window.Y + height; ++row)
        WriteXY(col, row, static_cast<Byte>(16 * BarBack + BarFore), " ");
    for (int row = Window.Y + pos; row <= Window.Y + pos + size; ++row)
        WriteXY(col, row, static_cast<Byte>(16 * BarFore + BarBack), " ");
}

void ttextviewer::HighlightMatch() {
    // The row the found line stands on: the first one, unless the clamp
    // of the last page moved the page up.
    const int offset = FoundLine - TopLine;
    if (offset < 0 || offset > Window.Height) return;
    const int row = Window.Y + offset;
    const int first = Window.X;
    const int last = Window.X + Window.Width - 1;
    for (int i = 0; i < static_cast<int>(SearchWord.size()); ++i) {
        const int col = Window.X + FoundCol - LeftCol - 1 + i;
        if (col < first || col > last) continue;  // clipped to the window
        const Byte attr = static_cast<Byte>((AttrAt(col, row) - 16 * Back + 64) & 0xFF);
        WriteXY(col, row, attr, std::string(1, ShownChar(col, row)));
    }
}

void ttextviewer::FindFrom(int32_t Start) {
    const std::string word = FoldCase(SearchWord);
    for (int32_t i = std::max(Start, 0); i < static_cast<int32_t>(Lines.size()); ++i) {
        const std::size_t at = word.empty() ? std::string::npos : FoldCase(Lines[i]).find(word);
        if (at == std::string::npos) {
            Found = false;
            continue;
        }
        const int32_t p = static_cast<int32_t>(at) + 1;
        TopLine = i;
        FoundLine = i;
        Found = true;
        FoundCol = p;
        if (p > Window.Width) LeftCol = p - 1;
        return;
    }
}

void ttextviewer::ShowViewerHelp() {
    const int x = Window.X;
    const int y = Window.Y;
    DrawPanel(static_cast<Byte>(x + 5), static_cast<Byte>(y + 2), static_cast<Byte>(x + Window.Width - 10),
              static_cast<Byte>(y + 14), 0);
    {
        TMenuBox box;
        box.FrameStyle = 1;
        box.Sunken = true;
        box.Shadow = false;
        box.Draw(static_cast<Byte>(x + 6), static_cast<Byte>(y + 4), static_cast<Byte>(x + Window.Width - 11),
                 static_cast<Byte>(y + 13));
    }
    WriteXY(x + 7, y + 3, 0x1F, "Help");
    WriteXY(x + 9, y + 5, 0x70, "+-       : Change Font Color");
    WriteXY(x + 9, y + 6, 0x70, "/*       : Change Background Color");
    WriteXY(x + 9, y + 7, 0x70, "CTRL + R : Resets Viewer");
    WriteXY(x + 9, y + 8, 0x70, "CTRL + F : Search");
    WriteXY(x + 9, y + 9, 0x70, "CTRL + G : Repeat Search");
    WriteXY(x + 9, y + 10, 0x70, Settings.SavingOffNotice.empty() ? ViewerSaveHelp : ViewerSavingOffHelp);
    WriteXY(x + 9, y + 11, 0x70, "CTRL + L : Redraw the screen");
    WriteXY(x + 9, y + 12, 0x70, "Press any key...");
    ReadKey();
}

void ttextviewer::Run() {
    if (conapi::ShowsPlainLines()) return RunPages();
    SearchWord.clear();
    Found = false;
    ClearWindow();
    if (Lines.empty()) return;
    for (;;) {
        ClampTop();
        DrawPage();
        if (ShowScrollBar) DrawScrollBar();
        if (Found) HighlightMatch();
        DescribePage();
        // The reader asked for another place (its Esc may have gone to the
        // drawing of the page): the viewer closes as it does on Esc.
        const char key = conapi::WantedPlace().empty() ? ReadKey() : KeyEsc;
        if (key == KeyTab || key == KeyEnter || key == KeyEsc) {
            conapi::DescribeText(conapi::Rect{0, 0, -1, -1});
            return;
        }
        if (key == 0)
            ExtendedKeyPressed(static_cast<Byte>(ReadKey()));
        else
            PlainKeyPressed(key);
    }
}

// Plain lines: what stands above the window (a header's title, author and
// category) once, then the text page by page. The rest of the screen (the
// frame, the keys of the viewer) is not said: these keys are not the page's.
void ttextviewer::RunPages() {
    conapi::SayRows(0, Window.Y - 2);
    std::size_t next = 0;
    while (next < Lines.size()) {
        std::string page;
        for (int i = 0; i < PlainPageLines && next < Lines.size(); ++i) {
            std::string line = PipeText(Lines[next++], PipeRule::WriteXYPipe);
            line.erase(line.find_last_not_of(' ') + 1);
            page += line + "\n";
        }
        const bool last = next >= Lines.size();
        conapi::SayText(page + (last ? PlainEndPrompt : PlainMorePrompt) + "\n");
        for (;;) {
            const char key = conapi::WantedPlace().empty() ? ReadKey() : KeyEsc;
            if (key == 0) {
                ReadKey();  // a cursor or function key turns no page
                continue;
            }
            if (last || key == KeyEsc || key == 'q' || key == 'Q') return;
            if (key == KeyEnter || key == ' ') break;
        }
    }
}

// The last page stays full: the top line goes no further than the one that
// puts the last line on the window's last row, and never above the first.
void ttextviewer::ClampTop() {
    const int32_t last = static_cast<int32_t>(Lines.size()) - 1;
    if (TopLine + Window.Height > last) TopLine = last - Window.Height;
    if (TopLine < 0) TopLine = 0;
}

// The window's text columns (the last one is the scroll bar's) and rows.
void ttextviewer::DescribePage() const {
    const auto at = [](int n) { return static_cast<int16_t>(n); };
    conapi::DescribeText(conapi::Rect{at(Window.X - 1), at(Window.Y - 1), at(Window.X + Window.Width - 3),
                                      at(Window.Y - 1 + Window.Height)});
}

void ttextviewer::DrawPage() {
    const Byte attr = static_cast<Byte>((16 * Back + Fore) & 0xFF);
    const std::size_t pieceWidth = Window.Width > 0 ? Window.Width - 1u : 0u;
    for (int i = 0; i < static_cast<int>(Lines.size()) && i <= Window.Height; ++i) {
        const std::string& line = Lines[static_cast<std::size_t>(TopLine + i)];
        const std::string piece =
            static_cast<std::size_t>(LeftCol) < line.size() ? line.substr(LeftCol, pieceWidth) : "";
        WriteXYPipe(Window.X, Window.Y + i, attr, PadRight(piece, PipePadWidth(piece, Window.Width), ' '));
    }
}

void ttextviewer::ExtendedKeyPressed(Byte code) {
    switch (code) {
    case KeyUp: TopLine = std::max(TopLine - 1, 0); break;
    // Down and PgDn go no further than the last page: the clamp before the
    // next drawing holds them there.
    case KeyDown: ++TopLine; break;
    case KeyPgUp: TopLine = std::max(TopLine - Window.Height, 0); break;
    case KeyPgDn: TopLine += Window.Height; break;
    case KeyLeft: LeftCol = std::max(LeftCol - 1, 0); break;
    case KeyRight: ++LeftCol; break;
    case KeyHome: LeftCol = 0; break;
    // The longest line's last character in the last column of text (the
    // rows show Width - 1 characters).
    case KeyEnd: LeftCol = std::max(LongestLine() - (Window.Width - 1), 0); break;
    case KeyF1: ShowViewerHelp(); return;
    case KeyF10: ToggleFullScreen(); return;
    default: return;
    }
    Found = false;
}

void ttextviewer::PlainKeyPressed(char key) {
    switch (key) {
    case '+': Fore = static_cast<Byte>(std::min(Fore + 1, 15)); break;
    case '-':
        if (Fore > 0) --Fore;  // stops at black
        break;
    case '/': Back = static_cast<Byte>(std::min(Back + 1, 15)); break;
    case '*': Back = static_cast<Byte>(std::max(Back - 1, 9)); break;
    case KeyCtrlR:
        Fore = 15;
        Back = 1;
        TopLine = 0;
        LeftCol = 0;
        Found = false;
        break;
    case KeyCtrlF:
        if (InputDialog(15, 12, 67, 17, " Find... ", "Enter word to find:", SearchWord))
            FindFrom(TopLine);
        else
            Found = false;
        break;
    case KeyCtrlG:
        // On from the line after the match: the page clamp may have put
        // TopLine above it, and the same match must not be found again.
        if (!SearchWord.empty()) FindFrom((Found ? FoundLine : TopLine) + 1);
        break;
    case KeyCtrlS: SaveToFile(); break;
    case KeyCtrlL: RedrawScreen(); break;
    case KeyCtrlY:
        SearchWord.clear();
        Found = false;
        break;
    default: break;
    }
}

void ttextviewer::SaveToFile() {
    if (!Settings.SavingOffNotice.empty()) {
        if (Settings.SavingRefused) Settings.SavingRefused();
        ShowNotice("", Settings.SavingOffNotice);
        return;
    }
    std::string name;
    if (!InputDialog(15, 12, 67, 17, " Save Article ", "Enter Filename:", name) || name.empty()) return;
    if (Unreadable) {
        ShowNotice(" Save Article ", "not saved: the text could not be read");
        return;
    }
    std::string bytes;
    for (const std::string& line : Lines) bytes += line + "\r\n";
    std::string error;
    std::string systemName;
    if (!SystemFileName(name, systemName, error) || !WriteFileReplacing(systemName, bytes, error))
        ShowNotice(" Save Article ", "not saved: " + error);
}

void ttextviewer::ToggleFullScreen() {
    FullScreen = !FullScreen;
    if (FullScreen) {
        // Kept so that leaving full-screen mode gives back the caller's
        // screen, not the text drawn over it.
        SaveScreen(BeforeFullScreen);
        SavedWindow = Window;
        Window = TCoord{1, 1, ScreenCols, static_cast<Byte>(ScreenRows - 1)};
    } else {
        Window = SavedWindow;
        RestoreScreen(BeforeFullScreen);
    }
}

int32_t ttextviewer::LongestLine() const {
    std::size_t longest = 0;
    for (const std::string& line : Lines) longest = std::max(longest, line.size());
    return static_cast<int32_t>(longest);
}

namespace {

// A viewer as ViewTextFile and ViewText open it, before its text is loaded.
void Configure(ttextviewer& viewer, Byte X, Byte Y, Byte Width, Byte Height, const ViewerSettings& Settings) {
    viewer.Fore = 7;
    viewer.Back = 16;
    viewer.BarFore = 7;
    viewer.BarBack = 0;
    viewer.ShowScrollBar = true;
    viewer.FullScreen = false;
    viewer.TopLine = 0;
    viewer.LeftCol = 0;
    viewer.Window = TCoord{X, Y, Width, Height};
    viewer.Settings = Settings;
}

}  // namespace

void ViewTextFile(const std::string& FileName, Byte X, Byte Y, Byte Width, Byte Height,
                  const ViewerSettings& Settings) {
    ttextviewer viewer;
    Configure(viewer, X, Y, Width, Height, Settings);
    viewer.Load(FileName);
    viewer.Run();
}

void ViewText(std::string_view Bytes, Byte X, Byte Y, Byte Width, Byte Height, const ViewerSettings& Settings) {
    ttextviewer viewer;
    Configure(viewer, X, Y, Width, Height, Settings);
    viewer.LoadText(Bytes);
    viewer.Run();
}
