#include "app/gallery.h"

#include "ansi/ansi_renderer.h"
#include "ansi/art.h"
#include "app/magazine_run.h"
#include "app/program.h"
#include "app/public_mode.h"
#include "app/resources.h"
#include "app/section_menu.h"
#include "console/conapi.h"
#include "console/m_Console.h"
#include "console/m_SaveName.h"
#include "issue/layout.h"
#include "sys/workfiles.h"
#include "viewer/art_viewer.h"
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

void SaveArtwork(const issue::Issue& issue, const std::string& resource, const std::string& name) {
    if (Trimmed(name).empty()) return;
    if (!PlainFileName(name)) {
        TellSaveRefused("not saved: type a plain file name");
        return;
    }
    bool found = false;
    const std::string_view art = issue.File(resource, found);
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

// Shows the piece with its prompt and waits for the reader: E answers true.
// A piece larger than the screen is then a window the arrows, PgUp, PgDn,
// Home and End move over; for any other piece every key but E leaves, as
// it always has. I shows the credits of a piece that carries them.
bool ShowPieceUntilKey(MagazineRun& run, const issue::Piece& piece) {
    const issue::Issue& issue = run.Issue;
    bool found = false;
    const std::string resource = issue::ResourceOf(piece.Art);
    const std::string_view file = issue.File(resource, found);
    Art art;
    ArtProblem problem;
    if (!ReadArt(file, piece.Art, piece.Width, art, problem)) {
        ShowNotice(" a n s i   a r t ", "this piece cannot be drawn: " + problem.Text);
        return false;
    }
    // Where the reader is: the piece's credits name it best.
    const std::string credit = ArtCreditLine(art.Record);
    const std::string place = issue::Sections().OfList("piece")->Key + "/" + resource;
    EnterPlace(run, place, credit.empty() ? piece.Label : credit);
    run.Log.Write("piece: " + PlaceName(run, place));
    // The look its artist chose, while it is on the screen.
    const ArtLook look(art);
    CanvasView view = DrawArtPaced(art, file, DisplaySpeed);
    const bool moves = CanvasMoves(art.Canvas);
    WriteXY(1, 25, 112, PiecePrompt());
    for (;;) {
        // A place asked for (its Esc may have gone to the drawing) ends the
        // piece as any key but E does.
        if (!conapi::WantedPlace().empty()) return false;
        const char key = ReadKey();
        if (moves && key == 0) {
            if (!MoveCanvasView(art.Canvas, view, static_cast<Byte>(ReadKey()))) return false;
            DrawCanvasView(art.Canvas, view);
            continue;
        }
        if (art.Record.Present && (key == 'i' || key == 'I')) {
            ShowArtCredits(art, look.DrawsOwnFont());
            continue;
        }
        return Upper(std::string(1, key)) == "E";
    }
}

void ShowArtwork(MagazineRun& run, const issue::Piece& piece) {
    const issue::Issue& issue = run.Issue;
    if (!ShowPieceUntilKey(run, piece)) return;
    if (!SavingAllowed()) {
        run.Log.Write("save refused: " + PlaceName(run, issue::Sections().OfList("piece")->Key + "/" +
                                                           issue::ResourceOf(piece.Art)));
        ShowSavingOff();
        return;
    }
    std::string name = piece.SaveAs;
    if (InputDialog(15, 12, 67, 17, " s a v e   a n s i ", "f i l e n a m e :", name))
        SaveArtwork(issue, issue::ResourceOf(piece.Art), name);
}

}  // namespace

void GallerySection(MagazineRun& Run) {
    const issue::Section& gallery = *issue::Sections().OfList("piece");
    SectionMenu menu;
    menu.Screen = gallery.Screen;
    menu.AnsiColours = gallery.Colours;
    menu.Pause = gallery.ScreenPause;
    menu.Box = gallery.Menu;
    menu.Place = gallery.Key;
    menu.Title = gallery.Title;
    const std::vector<issue::Piece>& pieces = Run.Issue.Contents.Pieces;
    for (const issue::Piece& piece : pieces) {
        menu.Labels.push_back(piece.Label);
        menu.Keys.push_back(issue::ResourceOf(piece.Art));
    }
    menu.Labels.push_back("[ b a c k ]");
    menu.Keys.emplace_back();
    // The issue's pieces, then "[ b a c k ]".
    const int32_t backEntry = static_cast<int32_t>(pieces.size());
    menu.Leave = backEntry;
    RunSectionMenu(Run, menu, [&](int32_t chosen) {
        if (chosen == backEntry) return false;
        if (chosen >= 0 && chosen < backEntry) ShowArtwork(Run, pieces[static_cast<std::size_t>(chosen)]);
        return true;
    });
}

void PageSection(MagazineRun& Run, const issue::Section& Page) {
    EnterPlace(Run, Page.Key, Page.Title);
    Run.Log.Write("page: " + PlaceName(Run, Page.Key));
    const std::string_view frame = ResourceContent(Run.Issue, Page.Screen + (Page.Twin ? AsciiSuffix : ""));
    const std::string_view text = ResourceContent(Run.Issue, Page.Text);
    SetTextColor(7);
    ClearScreen();
    ShowAnsiBytes(frame, PauseOf(Page.ScreenPause));
    MarkWhatTheLineLacks();
    const issue::Box& w = Page.Window;
    ViewText(text, static_cast<Byte>(w.Column), static_cast<Byte>(w.Row), static_cast<Byte>(w.Width),
             static_cast<Byte>(w.Rows), ViewerPolicy(SaveRefusedLogger(Run, Page.Key)));
}

void AboutSection(MagazineRun& Run) { PageSection(Run, *issue::Sections().Find("about")); }

void EditorialSection(MagazineRun& Run) { PageSection(Run, *issue::Sections().Find("editorial")); }
