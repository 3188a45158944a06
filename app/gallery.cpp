#include "app/gallery.h"

#include "ansi/ansi_renderer.h"
#include "ansi/canvas.h"
#include "ansi/sauce.h"
#include "app/issue.h"
#include "app/program.h"
#include "app/public_mode.h"
#include "app/resources.h"
#include "app/section_menu.h"
#include "console/conapi.h"
#include "console/m_Console.h"
#include "console/m_SaveName.h"
#include "issue/layout.h"
#include "widgets/boxes.h"
#include "sys/workfiles.h"
#include "viewer/canvas_viewer.h"
#include "viewer/text_viewer.h"
#include "widgets/boxes.h"
#include "widgets/prompts.h"

namespace {

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// A save name must stay a plain file name inside the save folder.
bool PlainFileName(const std::string& name) {
    const std::string trimmed = Trimmed(name);
    if (trimmed == "." || trimmed == "..") return false;
    return name.find_first_of("/\\:") == std::string::npos && name.find('\0') == std::string::npos;
}

// Where artworks are saved: beside the program, or, where the program's
// folder cannot be written (a program installed for the whole system), in the
// current folder, as the viewer saves.
std::string SaveFolder() { return FolderWritable(ProgramDir) ? ProgramDir : std::string(); }

// Shows why nothing was saved and waits for a key.
void TellSaveRefused(const std::string& reason) { ShowNotice(" s a v e   a n s i ", reason); }

void SaveArtwork(const std::string& resource, const std::string& name) {
    if (Trimmed(name).empty()) return;
    if (!PlainFileName(name)) {
        TellSaveRefused("not saved: type a plain file name");
        return;
    }
    bool found = false;
    const std::string_view art = issue::TheIssue().File(resource, found);
    if (!found) return;
    std::string error;
    // Only the typed name is spelt anew: the folder is the system's already.
    std::string systemName;
    if (!SystemFileName(name, systemName, error)) {
        TellSaveRefused("not saved: " + error);
        return;
    }
    const std::string bytes(art);
    if (!WriteFileReplacing(SaveFolder() + systemName, bytes, error)) TellSaveRefused("not saved: " + error);
}

const std::string ArtworkPrompt = "p r e s s  e  t o  e x t r a c t. a n y  o t h e r  k e y  t o  c o n t i n u e";

// The columns a piece is laid out in: its manifest entry's width, else its
// SAUCE record's when wider than the screen (up to 160), else the screen's.
int PieceWidth(const GalleryPiece& piece, const Sauce& sauce) {
    if (piece.Width > 0) return piece.Width;
    if (sauce.Width > ScreenCols && sauce.Width <= issue::PieceMaxWidth) return sauce.Width;
    return ScreenCols;
}

// The letter spacing and aspect a piece's record asks for, told to the
// console while the piece is shown; the screens' own look again after it.
class LookOfPiece {
public:
    explicit LookOfPiece(const Sauce& sauce) {
        conapi::DescribeLook(sauce.LetterSpacing == 9 ? 9 : 8, sauce.Aspect == SauceAspect::Legacy);
    }
    ~LookOfPiece() { conapi::DescribeLook(8, false); }
    LookOfPiece(const LookOfPiece&) = delete;
    LookOfPiece& operator=(const LookOfPiece&) = delete;
};

// "title by author / group", with what the record has of them; empty
// without a title and an author.
std::string CreditLine(const Sauce& sauce) {
    if (sauce.Title.empty() && sauce.Author.empty()) return {};
    std::string line = sauce.Title.empty() ? "a piece" : sauce.Title;
    if (!sauce.Author.empty()) line += " by " + sauce.Author;
    if (!sauce.Group.empty()) line += (sauce.Author.empty() ? " by " : " / ") + sauce.Group;
    return line;
}

// Every field of the record in a framed box over the piece, until a key.
void ShowCredits(const Sauce& sauce, const TCanvas& canvas) {
    constexpr Byte Left = 8, Top = 4, Right = 73, Bottom = 21;
    constexpr int Inner = Right - Left - 3;
    std::vector<std::string> rows{"title  : " + sauce.Title, "author : " + sauce.Author, "group  : " + sauce.Group};
    const std::string& d = sauce.Date;
    rows.push_back("date   : " + (d.size() == 8 ? d.substr(0, 4) + "-" + d.substr(4, 2) + "-" + d.substr(6, 2) : ""));
    rows.push_back("size   : " + std::to_string(canvas.Width()) + " columns x " + std::to_string(canvas.Rows()) +
                   " rows");
    rows.push_back("font   : " + sauce.Font);
    std::string flags = sauce.IceColours ? "bright backgrounds" : "";
    if (sauce.LetterSpacing > 0)
        flags += (flags.empty() ? "" : ", ") + std::to_string(sauce.LetterSpacing) + "-pixel letters";
    if (sauce.Aspect == SauceAspect::Legacy) flags += (flags.empty() ? "" : ", ") + std::string("legacy aspect");
    if (sauce.Aspect == SauceAspect::Square) flags += (flags.empty() ? "" : ", ") + std::string("square pixels");
    rows.push_back("flags  : " + flags);
    rows.emplace_back();
    for (const std::string& comment : sauce.Comments) rows.push_back(comment);
    TMenuBox box;
    box.FrameStyle = 1;
    box.Title = " c r e d i t s ";
    box.Draw(Left, Top, Right, Bottom);
    const int room = Bottom - Top - 3;
    for (int i = 0; i < room && i < static_cast<int>(rows.size()); ++i)
        WriteXY(Left + 2, Top + 1 + i, 0x70, PadRight(rows[static_cast<std::size_t>(i)].substr(0, Inner), Inner, ' '));
    WriteXY(Left + 2, Bottom - 1, 0x78, PadCenter("press a key", Inner, ' '));
    ReadKey();
    RestoreScreen(box.Background);
}

// Shows the piece with its prompt and waits for the reader: E answers true.
// A piece larger than the screen is then a window the arrows, PgUp, PgDn,
// Home and End move over; for any other piece every key but E leaves, as
// it always has.
bool ShowPieceUntilKey(const GalleryPiece& piece) {
    bool found = false;
    const std::string_view art = issue::TheIssue().File(piece.Resource, found);
    const Sauce sauce = ReadSauce(art);
    // Where the reader is: the piece's credits name it best.
    const std::string credit = CreditLine(sauce);
    EnterPlace("gallery/" + piece.Resource, credit.empty() ? piece.Label : credit);
    // The look its artist chose, while it is on the screen.
    const LookOfPiece look(sauce);
    TCanvas canvas(PieceWidth(piece, sauce));
    DrawAnsiOnCanvas(art, canvas);
    const bool moves = CanvasMoves(canvas);
    CanvasView view;
    if (canvas.Width() == ScreenCols) {
        // Drawn at the reading pace, as always; a tall piece scrolls as it is
        // drawn and stops on its last rows, where its window begins.
        ShowResourceScreen(piece.Resource);
        view = LastRowsView(canvas);
    }
    if (moves) DrawCanvasView(canvas, view);
    WriteXY(1, 25, 112, ArtworkPrompt);
    for (;;) {
        // A place asked for (its Esc may have gone to the drawing) ends the
        // piece as any key but E does.
        if (!conapi::WantedPlace().empty()) return false;
        const char key = ReadKey();
        if (moves && key == 0) {
            if (!MoveCanvasView(canvas, view, static_cast<Byte>(ReadKey()))) return false;
            DrawCanvasView(canvas, view);
            continue;
        }
        // I: the piece's credits, for a piece that carries them.
        if (sauce.Present && (key == 'i' || key == 'I')) {
            ShowCredits(sauce, canvas);
            continue;
        }
        return Upper(std::string(1, key)) == "E";
    }
}

void ShowArtwork(const GalleryPiece& piece) {
    if (!ShowPieceUntilKey(piece)) return;
    if (!SavingAllowed()) {
        ShowSavingOff();
        return;
    }
    std::string name = piece.SaveName;
    if (InputDialog(15, 12, 67, 17, " s a v e   a n s i ", "f i l e n a m e :", name))
        SaveArtwork(piece.Resource, name);
}

void ShowFramedPage(const std::string& frameResource, const std::string& textResource) {
    const std::string_view frame = ResourceContent(frameResource + AsciiSuffix);
    const std::string_view text = ResourceContent(textResource);
    SetTextColor(7);
    ClearScreen();
    ShowAnsiBytes(frame, DisplaySpeed);
    ViewText(text, 1, 5, 80, 17, ViewerPolicy());
}

}  // namespace

void GallerySection() {
    SectionMenu menu{
        "ansi", {}, {"|11|16", "|03|16", 11}, [] { return DisplaySpeed; }, 53, 8, 18, 11, "gallery", "ansi art",
        {},     -1};
    for (const GalleryPiece& piece : GalleryPieces) {
        menu.Labels.push_back(piece.Label);
        menu.Keys.push_back(piece.Resource);
    }
    menu.Labels.push_back("[ b a c k ]");
    menu.Keys.emplace_back();
    // The issue's pieces, then "[ b a c k ]".
    const int32_t backEntry = static_cast<int32_t>(GalleryPieces.size());
    menu.Leave = backEntry;
    RunSectionMenu(menu, [&](int32_t chosen) {
        if (chosen == backEntry) return false;
        if (chosen >= 0 && chosen < backEntry) {
            const GalleryPiece& piece = GalleryPieces[static_cast<std::size_t>(chosen)];
            ShowArtwork(piece);
        }
        return true;
    });
}

void AboutSection() {
    EnterPlace("about", "about");
    ShowFramedPage("about", "abouttxt");
}

void EditorialSection() {
    EnterPlace("editorial", "editorial");
    ShowFramedPage("edit", "editorial");
}
