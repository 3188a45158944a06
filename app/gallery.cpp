#include "app/gallery.h"


#include "ansi/ansi_renderer.h"
#include "ansi/wipes.h"
#include "console/m_Console.h"
#include "viewer/text_viewer.h"
#include "widgets/lightbar.h"
#include "widgets/prompts.h"
#include "app/issue.h"
#include "app/program.h"
#include "app/public_mode.h"
#include "app/resources.h"
#include "sys/workfiles.h"

namespace {

// The pieces, then "[ b a c k ]".
int32_t ArtworkCount() { return static_cast<int32_t>(GalleryPieces.size()); }

void ConfigureGalleryBar(TBar& bar) {
    for (const GalleryPiece& piece : GalleryPieces) bar.Add(piece.Label);
    bar.Add("[ b a c k ]");
    if (AsciiSuffix.empty()) {
        bar.SelectedColour = "|11|16";
        bar.NormalColour = "|03|16";
        bar.AnimLowerAttr = 11;
        bar.AnimUpperAttr = 11;
    } else {
        bar.SelectedColour = "|15|16";
        bar.NormalColour = "|07|16";
        bar.AnimLowerAttr = 15;
        bar.AnimUpperAttr = 15;
    }
    bar.OnKey = GlobalHotKey;
    bar.IdleRestMs = BarIdleRestMs();
}

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

// Shows why nothing was saved on the dialog's input row and waits for a key.
void TellSaveRefused(const std::string& reason) {
    WriteXY(18, 14, 0x4F, PadRight(" " + reason, 49, ' '));
    WriteXY(36, 15, 0x78, PadRight(" press a key ", 14, ' '));
    ReadKey();
}

void SaveArtwork(const std::string& resource, const std::string& name) {
    if (Trimmed(name).empty()) return;
    if (!PlainFileName(name)) {
        TellSaveRefused("not saved: type a plain file name");
        return;
    }
    const ResourceData* art = FindResource(resource);
    if (!art) return;
    std::string error;
    const std::string bytes(reinterpret_cast<const char*>(art->Data), art->Size);
    if (!WriteFileReplacing(SaveFolder() + name, bytes, error)) TellSaveRefused("not saved: " + error);
}

void ShowArtwork(const GalleryPiece& piece) {
    ShowResourceScreen(piece.Resource);
    WriteXY(1, 25, 112, "p r e s s  e  t o  e x t r a c t. a n y  o t h e r  k e y  t o  c o n t i n u e");
    if (Upper(std::string(1, ReadKey())) != "E") return;
    if (!SavingAllowed()) {
        ShowSavingOff();
        return;
    }
    std::string name = piece.SaveName;
    if (InputDialog(15, 12, 67, 17, " s a v e   a n s i ", "f i l e n a m e :", name)) SaveArtwork(piece.Resource, name);
}

void ShowFramedPage(const std::string& frameResource, const std::string& frameName, const std::string& textResource,
                    const std::string& textName) {
    const std::string frameFile = WorkFile(frameName);
    const std::string textFile = WorkFile(textName);
    ExtractResource(frameResource + AsciiSuffix, frameFile);
    ExtractResource(textResource, textFile);
    SetTextColor(7);
    ClearScreen();
    ShowAnsiFile(frameFile, DisplaySpeed);
    ViewTextFile(textFile, 1, 5, 80, 17, ViewerPolicy());
    RemoveWorkFile(frameFile);
    RemoveWorkFile(textFile);
}

}  // namespace

void GallerySection() {
    TBar bar;
    ConfigureGalleryBar(bar);
    const std::string screenFile = WorkFile("menu3.ans");
    ExtractResource("ansi" + AsciiSuffix, screenFile);
    CurrentScreenFile = screenFile;

    int32_t remembered = 0;
    for (;;) {
        RandomWipe();
        ShowAnsiFile(screenFile, DisplaySpeed);
        const int32_t result = bar.Run(53, 8, 18, 11, remembered);
        remembered = result >= 0 ? result : 0;
        if (result == ArtworkCount()) break;
        if (result >= 0 && result < ArtworkCount()) ShowArtwork(GalleryPieces[static_cast<std::size_t>(result)]);
    }
    RemoveWorkFile(screenFile);
}

void AboutSection() { ShowFramedPage("about", "about.ans", "abouttxt", "about.txt"); }

void EditorialSection() { ShowFramedPage("edit", "edit.ans", "editorial", "editorial.txt"); }
