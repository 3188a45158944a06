// The rules an issue's texts must keep for the text viewer: lines, widths,
// characters and colour codes, each fault one line.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace contentrules {

using Problems = std::vector<std::string>;



// Whether the "|" at Pos would be taken for a colour code other than the
// two-digit codes 00..23 the texts use: the viewer would then change the
// colour and hide the characters after it. A bar that begins no code is
// shown as it is and is fine.
bool StrayCodeAt(std::string_view text, std::size_t pos);



// Texts for the viewer: 60..250 lines ended by LF, at most 79 characters a
// line with the colour codes counted (the viewer cuts each line after
// Width - 1 raw characters), 7-bit, no "!", and no "|" that reads as a
// colour code other than 00..23.
// MinLines is this issue's own house rule; another issue may ask less.
Problems CheckText(std::string_view name, std::string_view bytes, int kMinLines = 60);

}  // namespace contentrules
