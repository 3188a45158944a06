#include "app/section_menu.h"

#include <algorithm>
#include <optional>

#include "ansi/ansi_renderer.h"
#include "ansi/wipes.h"
#include "app/back_issues.h"
#include "app/magazine_run.h"
#include "app/program.h"
#include "app/public_mode.h"
#include "app/resources.h"
#include "console/conapi.h"
#include "widgets/lightbar.h"

issue::BarColours ModeColours(const issue::BarColours& ansi) {
    return AsciiSuffix.empty() ? ansi : issue::BarColours{"|15|16", "|07|16", 15};
}

void ConfigureBar(MagazineRun& run, TBar& bar, const std::vector<std::string>& labels, const issue::BarColours& ansi) {
    for (const std::string& label : labels) bar.Add(label);
    const issue::BarColours colours = ModeColours(ansi);
    bar.SelectedColour = colours.Selected;
    bar.NormalColour = colours.Normal;
    bar.AnimLowerAttr = colours.Anim;
    bar.AnimUpperAttr = colours.Anim;
    bar.OnKey = [&run](char key, int32_t highlighted) { GlobalHotKey(run, key, highlighted); };
    bar.IsHotKey = [&run](char key) { return IsGlobalHotKey(run, key); };
    bar.Leaving = [&run] { return run.SwitchTo != 0; };
    bar.IdleRestMs = BarIdleRestMs();
}

int32_t PauseOf(const issue::Pause& pause) { return pause.Display ? DisplaySpeed : pause.Interval; }

namespace {

bool AllDigits(const std::string& text) {
    return !text.empty() && text.size() <= 4 &&
           std::all_of(text.begin(), text.end(), [](unsigned char c) { return c >= '0' && c <= '9'; });
}

// The place the reader asked for, split into the issue it names and the
// place within it: an address that names no issue means the newest.
std::pair<int, std::string> SplitWanted(const MagazineRun& run) {
    std::string wanted = conapi::WantedPlace();
    const std::size_t slash = wanted.find('/');
    const std::string first = wanted.substr(0, slash);
    if (!AllDigits(first)) return {run.Magazine.Newest(), wanted};
    return {std::stoi(first), slash == std::string::npos ? issue::Sections().Main.Place : wanted.substr(slash + 1)};
}

// The place the reader asked for within the open issue, or "". A place in
// another issue of the magazine asks for that issue (Run.SwitchTo): the
// menus then leave, and the main menu opens it and follows the place there;
// a place in an issue the magazine does not hold, or whose files do not come
// (a page fetches them first), is forgotten.
std::string WantedHere(MagazineRun& run) {
    if (conapi::WantedPlace().empty()) return {};
    const auto [number, place] = SplitWanted(run);
    if (number == run.OpenNumber()) return place;
    if (run.Magazine.Find(number) && BringIssueOrSay(run.Magazine, number))
        run.SwitchTo = number;
    else
        conapi::ForgetWantedPlace();
    return {};
}

// The entry that leads from this menu towards the place the reader asked
// for; nothing when the reader is to choose (nothing asked for, or this very
// place, or another issue). A place this menu cannot lead to is forgotten.
std::optional<int32_t> RouteStep(MagazineRun& run, const SectionMenu& menu) {
    const std::string wanted = WantedHere(run);
    if (wanted.empty()) return std::nullopt;
    if (wanted == menu.Place) {
        conapi::ForgetWantedPlace();
        return std::nullopt;
    }
    const std::string below = menu.Place == issue::Sections().Main.Place ? "" : menu.Place + "/";
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

std::string PlaceName(const MagazineRun& run, const std::string& place) {
    return run.ManyIssues() ? std::to_string(run.OpenNumber()) + "/" + place : place;
}

std::function<void()> SaveRefusedLogger(MagazineRun& run, const std::string& place) {
    return [&run, name = PlaceName(run, place)] { run.Log.Write("save refused: " + name); };
}

void EnterPlace(const MagazineRun& run, const std::string& place, const std::string& title) {
    conapi::DescribePlace(PlaceName(run, place), title);
    if (conapi::WantedPlace().empty()) return;
    const auto [number, wanted] = SplitWanted(run);
    if (number == run.OpenNumber() && wanted == place) conapi::ForgetWantedPlace();
}

void RunSectionMenu(MagazineRun& run, const SectionMenu& menu, const std::function<bool(int32_t)>& Choose) {
    TBar bar;
    ConfigureBar(run, bar, menu.Labels, menu.AnsiColours);
    const std::string screen = menu.Screen + AsciiSuffix;
    int32_t remembered = 0;
    for (;;) {
        // Another issue asked for: every menu leaves for the main menu's,
        // which opens it.
        if (run.SwitchTo != 0) return;
        // A place asked for is passed through without drawing this menu.
        std::optional<int32_t> step = RouteStep(run, menu);
        if (run.SwitchTo != 0) return;
        if (!step) {
            // A section opened from here has its own screen: this one is the
            // current screen again on return.
            CurrentScreenFile = screen;
            RandomWipe();
            ShowAnsiBytes(ResourceContent(run.Issue, screen), PauseOf(menu.Pause));
            MarkWhatTheLineLacks();
            EnterPlace(run, menu.Place, menu.Title);
            const int32_t result = bar.Run(static_cast<Byte>(menu.Box.Column), static_cast<Byte>(menu.Box.Row),
                                           static_cast<Byte>(menu.Box.Width), static_cast<Byte>(menu.Box.Rows),
                                           remembered);
            if (run.SwitchTo != 0) return;
            // The reader asked for another place meanwhile (the key that
            // ended the bar came with the request): that place it is. One
            // that leads nowhere from here (this very place, an issue that
            // did not come) gives the menu back, not the bar's Esc.
            const bool asked = !conapi::WantedPlace().empty();
            step = RouteStep(run, menu);
            if (run.SwitchTo != 0) return;
            if (!step && asked) continue;
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
