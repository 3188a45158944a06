// The sixteen colours of the PC text screen, and the nearest of them (or of
// a terminal's 256) to any other colour: a piece of art with a palette of
// its own or 24-bit colours is shown with them where a console has no more.
#pragma once

#include <array>
#include <cstdint>

namespace palette {

struct Rgb {
    uint8_t r, g, b;
};

// By attribute colour number (colour 6 is brown).
extern const std::array<Rgb, 16> kVga;

// The colour of an own-colour value of a cell (conapi::OwnColour).
constexpr Rgb OfOwn(uint32_t own) {
    return {static_cast<uint8_t>(own >> 16), static_cast<uint8_t>(own >> 8), static_cast<uint8_t>(own)};
}

// The PC colour number (0 to 15) nearest to C.
int NearestPc(Rgb c);

// The colour of entry Index (16 to 255) of the 256-colour palette: a 6x6x6
// cube, then 24 greys, shared by every terminal that has it.
Rgb Entry256(int index);

// The entry of the 256-colour palette nearest to C, from 16 on (entries 0
// to 15 are each terminal's own colours).
int Nearest256(Rgb c);

// The squared distance of two colours, the measure of "nearest" above.
int Distance(Rgb a, Rgb b);

}  // namespace palette
