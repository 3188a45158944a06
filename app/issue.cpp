#include "app/issue.h"

namespace {

std::vector<ArticleEntry> EntriesOf(const std::vector<issue::Entry>& entries) {
    std::vector<ArticleEntry> out;
    for (const issue::Entry& e : entries)
        out.push_back({e.Label, issue::ResourceOf(e.Text), e.Title, e.Author, e.Category});
    return out;
}

std::vector<GalleryPiece> PiecesOf(const std::vector<issue::Piece>& pieces) {
    std::vector<GalleryPiece> out;
    for (const issue::Piece& p : pieces) out.push_back({p.Label, issue::ResourceOf(p.Art), p.SaveAs, p.Width});
    return out;
}

std::vector<TrackEntry> TracksOf(const std::vector<issue::Track>& tracks) {
    std::vector<TrackEntry> out;
    for (const issue::Track& t : tracks) out.push_back({t.Label, issue::ResourceOf(t.Module)});
    return out;
}

const issue::Manifest& Shown() { return issue::TheIssue().Contents; }

}  // namespace

int IssueNumber = Shown().Number;
std::string IssueDate = Shown().Date;
std::vector<ArticleEntry> ArticleEntries = EntriesOf(Shown().Articles);
std::vector<ArticleEntry> TutorEntries = EntriesOf(Shown().Tutorials);
std::vector<GalleryPiece> GalleryPieces = PiecesOf(Shown().Pieces);
std::vector<TrackEntry> TrackEntries = TracksOf(Shown().Tracks);

void ShowIssue(issue::Issue Issue) {
    issue::UseIssue(std::move(Issue));
    IssueNumber = Shown().Number;
    IssueDate = Shown().Date;
    ArticleEntries = EntriesOf(Shown().Articles);
    TutorEntries = EntriesOf(Shown().Tutorials);
    GalleryPieces = PiecesOf(Shown().Pieces);
    TrackEntries = TracksOf(Shown().Tracks);
}
