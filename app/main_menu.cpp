#include "app/main_menu.h"

#include "app/articles.h"
#include "app/gallery.h"
#include "app/program.h"
#include "app/section_menu.h"
#include "console/m_Console.h"
#include "widgets/lightbar.h"

namespace {

enum MainEntry { Editorial, Articles, AnsiArt, Tutors, About, Exit };

void RefuseGallery() {
    WriteXY(12, 22, 7, "even if you access the menu, you can't see the ansi art :p");
    ReadKey();
}

// Acts on the main menu's choice; false when the reader leaves.
bool ChooseMain(int32_t entry) {
    switch (entry) {
    case BarEsc: return false;
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
    case Exit: return false;
    default: break;
    }
    return true;
}

}  // namespace

void MainMenu() {
    // Filled field by field: GCC 12 for Windows takes the braced form of
    // this many members for an uninitialised read.
    SectionMenu menu;
    menu.Screen = "menu";
    menu.Labels = {"e d i t o r i a l", "a r t i c l e s", "a n s i   a r t",
                   "t u t o r s     ",  "a b o u t",       "e x i t"};
    menu.AnsiColours = {"|15|16", "|08|16", 15};
    menu.Pause = [] { return 5000; };
    menu.X = 53;
    menu.Y = 10;
    menu.Width = 17;
    menu.Rows = 7;
    menu.Place = "menu";
    // Where each entry leads, in the entries' order; exit is no place.
    menu.Keys = {"editorial", "articles", "gallery", "tutors", "about", ""};
    RunSectionMenu(menu, ChooseMain);
}
