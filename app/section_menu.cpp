#include "app/section_menu.h"

#include <algorithm>
#include <optional>

#include "ansi/ansi_renderer.h"
#include "ansi/wipes.h"
#include "app/program.h"
#include "app/public_mode.h"
#include "app/resources.h"
#include "console/conapi.h"
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
    bar.IsHotKey = IsGlobalHotKey;
    bar.IdleRestMs = BarIdleRestMs();
}

// The entry that leads from this menu towards the place the reader asked
// for; nothing when the reader is to choose (nothing asked for, or this very
// place). A place this menu cannot lead to is forgotten.
std::optional<int32_t> RouteStep(const SectionMenu& menu) {
    const std::string wanted = conapi::WantedPlace();
    if (wanted.empty()) return std::nullopt;
    if (wanted == menu.Place) {
        conapi::ForgetWantedPlace();
        return std::nullopt;
    }
    const std::string below = menu.Place == "menu" ? "" : menu.Place + "/";
    if (wanted.starts_with(below)) {
        const std::string key = wanted.substr(below.size(), wanted.find('/', below.size()) - below.size());
        const auto entry = std::find(menu.Keys.begin(), menu.Keys.end(), key);
        if (!key.empty() && entry != menu.Keys.end()) return static_cast<int32_t>(entry - menu.Keys.begin());
    } else if (menu.Leave >= 0) {
        return menu.Leave;
    }
    conapi::ForgetWantedPlace();
    return std::nullopt;
}

}  // namespace

void EnterPlace(const std::string& place, const std::string& title) {
    conapi::DescribePlace(place, title);
    if (conapi::WantedPlace() == place) conapi::ForgetWantedPlace();
}

void RunSectionMenu(const SectionMenu& menu, const std::function<bool(int32_t)>& Choose) {
    TBar bar;
    ConfigureBar(bar, menu);
    const std::string screen = menu.Screen + AsciiSuffix;
    int32_t remembered = 0;
    for (;;) {
        // A place asked for is passed through without drawing this menu.
        std::optional<int32_t> step = RouteStep(menu);
        if (!step) {
            // A section opened from here has its own screen: this one is the
            // current screen again on return.
            CurrentScreenFile = screen;
            RandomWipe();
            ShowAnsiBytes(ResourceContent(screen), menu.Pause());
            EnterPlace(menu.Place, menu.Title);
            const int32_t result = bar.Run(menu.X, menu.Y, menu.Width, menu.Rows, remembered);
            // The reader asked for another place meanwhile (the key that
            // ended the bar came with the request): that place it is.
            step = RouteStep(menu);
            if (!step) step = result;
        }
        remembered = *step >= 0 ? *step : 0;
        const std::string followed = conapi::WantedPlace();
        if (!Choose(*step)) return;
        // Following the place led nowhere (an entry that refused to open):
        // it is not followed again.
        if (!followed.empty() && conapi::WantedPlace() == followed) conapi::ForgetWantedPlace();
    }
}
