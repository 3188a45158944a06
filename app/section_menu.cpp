#include "app/section_menu.h"

#include "ansi/ansi_renderer.h"
#include "ansi/wipes.h"
#include "app/program.h"
#include "app/public_mode.h"
#include "app/resources.h"
#include "widgets/lightbar.h"

namespace {

void ConfigureBar(TBar& bar, const SectionMenu& menu) {
    for (const std::string& label : menu.Labels) bar.Add(label);
    const bool ascii = !AsciiSuffix.empty();
    const BarColours colours = ascii ? BarColours{"|15|16", "|07|16", 15} : menu.AnsiColours;
    bar.SelectedColour = colours.Selected;
    bar.NormalColour = colours.Normal;
    bar.AnimLowerAttr = colours.Anim;
    bar.AnimUpperAttr = colours.Anim;
    bar.OnKey = GlobalHotKey;
    bar.IdleRestMs = BarIdleRestMs();
}

}  // namespace

void RunSectionMenu(const SectionMenu& menu, const std::function<bool(int32_t)>& Choose) {
    TBar bar;
    ConfigureBar(bar, menu);
    const std::string screen = menu.Screen + AsciiSuffix;
    int32_t remembered = 0;
    for (;;) {
        // A section opened from here has its own screen: this one is the
        // current screen again on return.
        CurrentScreenFile = screen;
        RandomWipe();
        ShowAnsiBytes(ResourceContent(screen), menu.Pause());
        const int32_t result = bar.Run(menu.X, menu.Y, menu.Width, menu.Rows, remembered);
        remembered = result >= 0 ? result : 0;
        if (!Choose(result)) return;
    }
}
