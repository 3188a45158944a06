// The music of a web edition lies beside its page: a reader on a slow line
// sees the logo long before the modules (most of the issue's bytes) have
// come. The site keeps each track's module as a file of its folder
// "tracks", and the issue the page's program carries (built in, or the
// pack issue.zip) holds in the module's place a one-line note that names
// that file; the page's sound library fetches the file when the track is
// asked for. A note is text and a few dozen bytes long, so no module of
// any format is ever mistaken for one.
#pragma once

#include <string>
#include <string_view>

namespace issue {

// A module file of the site is the module's bytes in two planes, those at
// even offsets and then those at odd ones: the samples of a module are
// mostly 16-bit, and apart their low and high bytes pack about an eighth
// smaller with gzip, the encoding a web server sends. The page puts the
// bytes back in order before the player gets them (web/audio.js).
std::string TrackPlanes(std::string_view module);

// The site's folder of the modules, with its separator.
inline constexpr std::string_view SiteTracksFolder = "tracks/";

// The note that stands for the module File (a plain file name) of the
// site's tracks folder, or of its folder of issue Number ("tracks/2/") in
// the site of a magazine of more issues, whose issues may each have a
// module of one name.
std::string TrackNote(const std::string& file, int number = 0);

// The site path ("tracks/music1.xm", "tracks/2/music1.xm") that the note
// Bytes names; empty when Bytes is no note, or names a file outside the
// tracks folder.
std::string TrackNotePath(std::string_view bytes);

}  // namespace issue
