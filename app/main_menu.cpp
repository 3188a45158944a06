#include "app/main_menu.h"


#include "ansi/ansi_renderer.h"
#include "ansi/wipes.h"
#include "console/m_Console.h"
#include "widgets/lightbar.h"
#include "app/articles.h"
#include "app/gallery.h"
#include "app/program.h"
#include "app/public_mode.h"
#include "app/resources.h"
#include "sys/workfiles.h"

namespace {

enum MainEntry { Editorial, Articles, AnsiArt, Tutors, About, Exit };

void ConfigureMainBar(TBar& bar) {
    for (const char* label : {"e d i t o r i a l", "a r t i c l e s", "a n s i   a r t", "t u t o r s     ",
                              "a b o u t", "e x i t"})
        bar.Add(label);
    // Colours follow the mode at the moment the menu is built.
    if (AsciiSuffix.empty()) {
        bar.SelectedColour = "|15|16";
        bar.NormalColour = "|08|16";
    } else {
        bar.SelectedColour = "|15|16";
        bar.NormalColour = "|07|16";
        bar.AnimLowerAttr = 15;
        bar.AnimUpperAttr = 15;
    }
    bar.OnKey = GlobalHotKey;
    bar.IdleRestMs = BarIdleRestMs();
}

void RefuseGallery() {
    WriteXY(12, 22, 7, "even if you access the menu, you can't see the ansi art :p");
    ReadKey();
}

}  // namespace

void MainMenu() {
    TBar bar;
    ConfigureMainBar(bar);
    const std::string screenFile = WorkFile("menu1.ans");
    ExtractResource("menu" + AsciiSuffix, screenFile);

    int32_t remembered = 0;
    bool done = false;
    while (!done) {
        CurrentScreenFile = screenFile;
        RandomWipe();
        ShowAnsiFile(screenFile, 5000);
        const int32_t result = bar.Run(53, 10, 17, 7, remembered);
        remembered = result >= 0 ? result : 0;
        switch (result) {
        case BarEsc: done = true; break;
        case Editorial: EditorialSection(); break;
        case Articles: ArticlesSection(); break;
        case AnsiArt:
            if (AsciiSuffix.empty())
                GallerySection();
            else
                RefuseGallery();
            break;
        case Tutors: TutorsSection(); break;
        case About: AboutSection(); break;
        case Exit: done = true; break;
        default: break;
        }
    }
    RemoveWorkFile(screenFile);
}
