// A piece of art on the screen: drawn at the reading pace as its file would
// be drawn on a slow line, in the look its artist chose (letter spacing,
// aspect, its own font where the console can draw one), then a window the
// reader moves over a piece larger than the screen, and its credits.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ansi/art.h"
#include "viewer/canvas_viewer.h"

// The look of Art told to the console while the object lives (letter
// spacing, legacy aspect, the piece's own font); the screens' own look
// again after it.
class ArtLook {
public:
    explicit ArtLook(const Art& art);
    ~ArtLook();
    ArtLook(const ArtLook&) = delete;
    ArtLook& operator=(const ArtLook&) = delete;

    // Whether the console draws the piece's own font (a page can; a
    // terminal shows the standard glyphs).
    bool DrawsOwnFont() const { return ownFont_; }

private:
    bool described_ = false;
    bool ownFont_ = false;
};

// Draws Art on a cleared screen, paced by PauseInterval as its File would
// be drawn (Esc finishes the drawing at once): a piece that fits the screen
// is shown whole from its first row; a taller one scrolls as it is drawn
// and stops on its last rows. Answers the window on the piece it shows.
CanvasView DrawArtPaced(const Art& art, std::string_view file, int32_t PauseInterval);

// "title by author / group", with what the record has of them; empty
// without a title and an author.
std::string ArtCreditLine(const Sauce& record);

// The lines of the credits box: every field of the record, the art's own
// size (and where the record disagrees), its format and the font it was
// drawn for, then the comments, each whole.
std::vector<std::string> ArtCredits(const Art& art, bool drawsOwnFont);

// The credits in a framed box over the piece, scrolled by the arrows and
// the page keys where they are longer than the box; any other key closes it
// and the piece is as it was.
void ShowArtCredits(const Art& art, bool drawsOwnFont);
