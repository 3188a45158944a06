#include "app/back_issues.h"

#include <algorithm>

#include "app/articles.h"
#include "app/magazine_run.h"
#include "app/program.h"
#include "app/resources.h"
#include "app/section_menu.h"
#include "console/conapi.h"
#include "console/m_Console.h"
#include "issue/sections.h"
#include "widgets/boxes.h"
#include "widgets/lightbar.h"

#ifdef __EMSCRIPTEN__
#include "sys/sys.h"
#include "sys/sys_web.h"
#endif

namespace {

// The columns of an entry: the mark, the number, the date, the headline.
constexpr std::size_t kNumberWidth = 6;
constexpr std::size_t kDateWidth = 21;

// Keeps B (and the track menu's keys) shut while the menu is up, also when
// it is left by an exception.
class BackIssuesFlag {
public:
    explicit BackIssuesFlag(MagazineRun& run) : run_(run) { run_.BackIssuesOpen = true; }
    ~BackIssuesFlag() { run_.BackIssuesOpen = false; }
    BackIssuesFlag(const BackIssuesFlag&) = delete;
    BackIssuesFlag& operator=(const BackIssuesFlag&) = delete;

private:
    MagazineRun& run_;
};

std::string Padded(std::string text, std::size_t width) {
    text.resize(std::max(text.size(), width), ' ');
    return text;
}

}  // namespace

std::string BackIssueLabel(const issue::IssueSummary& Issue, bool Open, int Width) {
    std::string label = Open ? "* " : "  ";
    label += Padded("#" + std::to_string(Issue.Number), kNumberWidth);
    label += Padded(Issue.Date, kDateWidth);
    label += Issue.Headline;
    return label.substr(0, static_cast<std::size_t>(std::max(Width, 0)));
}

bool BringIssue(const issue::Magazine& Magazine, int Number, std::string& Error) {
#ifdef __EMSCRIPTEN__
    std::string name;
    std::string path;
    if (!Magazine.PackBeside(Number, name, path) || sys::IsFile(path)) return true;
    return sys::web::FetchSiteFile(name, path, "issue #" + std::to_string(Number), Error);
#else
    (void)Magazine;
    (void)Number;
    (void)Error;
    return true;
#endif
}

bool BringIssueOrSay(const issue::Magazine& Magazine, int Number) {
    std::string error;
    if (BringIssue(Magazine, Number, error)) return true;
    ShowNotice(" b a c k   i s s u e s ", "issue #" + std::to_string(Number) + " cannot be fetched");
    return false;
}

void BackIssuesMenu(MagazineRun& Run) {
    const issue::OverlayMenuTable& table = issue::Sections().BackIssues;
    // The table's box, no taller than the entries need.
    issue::Box box = table.Menu;
    box.Rows = std::min<int>(box.Rows, static_cast<int>(Run.Magazine.Issues.size()) + 1);
    // Newest first.
    std::vector<const issue::IssueSummary*> issues;
    for (auto it = Run.Magazine.Issues.rbegin(); it != Run.Magazine.Issues.rend(); ++it) issues.push_back(&*it);
    std::vector<std::string> labels;
    int open = 0;
    for (std::size_t i = 0; i < issues.size(); ++i) {
        const bool isOpen = issues[i]->Number == Run.OpenNumber();
        if (isOpen) open = static_cast<int>(i);
        labels.push_back(BackIssueLabel(*issues[i], isOpen, box.Width));
    }
    labels.push_back(table.CloseLabel);

    const BackIssuesFlag flag(Run);
    TMenuBox frame;
    frame.FrameStyle = 2;
    frame.TwoTone = false;
    frame.LightAttr = 0x1F;
    frame.Title = " b a c k   i s s u e s ";
    frame.Draw(static_cast<Byte>(box.Column - 2), static_cast<Byte>(box.Row - 1), static_cast<Byte>(box.Right() + 2),
               static_cast<Byte>(std::min(box.Bottom() + 1, 25)));
    EnterPlace(Run, table.Place, table.Title);
    TBar bar;
    ConfigureBar(Run, bar, labels, table.Colours);
    // The menu keeps its blues in either mode.
    bar.SelectedColour = table.Colours.Selected;
    bar.NormalColour = table.Colours.Normal;
    bar.AnimLowerAttr = bar.AnimUpperAttr = table.Colours.Anim;
    const int32_t closeEntry = static_cast<int32_t>(issues.size());
    const int32_t chosen = bar.Run(static_cast<Byte>(box.Column), static_cast<Byte>(box.Row),
                                   static_cast<Byte>(box.Width), static_cast<Byte>(box.Rows), open);
    RestoreScreen(frame.Background);
    if (chosen >= 0 && chosen < closeEntry) {
        const int number = issues[static_cast<std::size_t>(chosen)]->Number;
        // The issue is fetched while the menu is still the reader's place:
        // one that does not come leaves the reader where they were.
        if (number != Run.OpenNumber() && BringIssueOrSay(Run.Magazine, number)) Run.SwitchTo = number;
    }
}

void SwitchIssue(MagazineRun& Run) {
    const int number = Run.SwitchTo;
    Run.SwitchTo = 0;
    issue::Issue next;
    std::string error;
    if (!BringIssue(Run.Magazine, number, error) || !Run.Magazine.Open(number, next, error)) {
        // A place in it asked for is given up, not asked for again.
        conapi::ForgetWantedPlace();
        ShowNotice(" b a c k   i s s u e s ", "issue #" + std::to_string(number) + " cannot be read");
        return;
    }
    Run.Issue = std::move(next);
    CurrentScreenFile.clear();
    ClearHeaderFields();
    // The music follows: the new issue's first track, where music plays.
    Run.Player.PlayTrack(Run.Issue, issue::ResourceOf(Run.Issue.Contents.Tracks.front().Module));
    ShowLogo(Run.Issue);
    Delay(1000);
}
