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
    const SectionMenu menu{
        "menu",
        {"e d i t o r i a l", "a r t i c l e s", "a n s i   a r t", "t u t o r s     ", "a b o u t", "e x i t"},
        {"|15|16", "|08|16", 15},
        [] { return 5000; },
        53,
        10,
        17,
        7,
        "menu",
        "",
        // Where each entry leads, in the entries' order; exit is no place.
        {"editorial", "articles", "gallery", "tutors", "about", ""},
        -1};
    RunSectionMenu(menu, ChooseMain);
}
