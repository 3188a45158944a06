#include "app/main_menu.h"

#include "app/articles.h"
#include "app/back_issues.h"
#include "app/gallery.h"
#include "app/magazine_run.h"
#include "app/program.h"
#include "app/section_menu.h"
#include "console/m_Console.h"
#include "issue/sections.h"
#include "widgets/lightbar.h"

namespace {

// A section that ASCII mode cannot show says so on the main menu's message
// row and waits for a key.
void Refuse(const issue::Section& section) {
    const issue::MainMenuTable& main = issue::Sections().Main;
    WriteXY(main.MessageFirst, main.MessageRow, 7, section.AsciiRefusal);
    ReadKey();
}

void OpenSection(MagazineRun& run, const issue::Section& section) {
    switch (section.Kind) {
    case issue::SectionKind::Entries: EntriesSection(run, section); break;
    case issue::SectionKind::Gallery:
        if (AsciiSuffix.empty() || section.AsciiRefusal.empty())
            GallerySection(run);
        else
            Refuse(section);
        break;
    case issue::SectionKind::Page: PageSection(run, section); break;
    }
}

// Acts on the main menu's choice; false when the reader leaves (Esc, or the
// exit entry after the sections).
bool ChooseMain(MagazineRun& run, int32_t entry) {
    const std::vector<issue::Section>& sections = issue::Sections().Sections;
    if (entry == BarEsc || entry == static_cast<int32_t>(sections.size())) return false;
    if (entry >= 0 && entry < static_cast<int32_t>(sections.size()))
        OpenSection(run, sections[static_cast<std::size_t>(entry)]);
    return true;
}

}  // namespace

void MainMenu(MagazineRun& run) {
    const issue::SectionTable& table = issue::Sections();
    SectionMenu menu;
    menu.Screen = table.Main.Screen;
    menu.AnsiColours = table.Main.Colours;
    menu.Pause = table.Main.ScreenPause;
    menu.Box = table.Main.Menu;
    menu.Place = table.Main.Place;
    // Where each entry leads, in the entries' order; exit is no place.
    for (const issue::Section& section : table.Sections) {
        menu.Labels.push_back(section.Label);
        menu.Keys.push_back(section.Key);
    }
    menu.Labels.push_back(table.Main.ExitLabel);
    menu.Keys.emplace_back();
    for (;;) {
        RunSectionMenu(run, menu, [&run](int32_t entry) { return ChooseMain(run, entry); });
        // The menus left for another issue: its main menu comes next.
        if (run.SwitchTo == 0) return;
        SwitchIssue(run);
    }
}
