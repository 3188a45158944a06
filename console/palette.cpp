#include "console/palette.h"

namespace palette {

const std::array<Rgb, 16> kVga = {{
    {0x00, 0x00, 0x00},
    {0x00, 0x00, 0xAA},
    {0x00, 0xAA, 0x00},
    {0x00, 0xAA, 0xAA},
    {0xAA, 0x00, 0x00},
    {0xAA, 0x00, 0xAA},
    {0xAA, 0x55, 0x00},
    {0xAA, 0xAA, 0xAA},
    {0x55, 0x55, 0x55},
    {0x55, 0x55, 0xFF},
    {0x55, 0xFF, 0x55},
    {0x55, 0xFF, 0xFF},
    {0xFF, 0x55, 0x55},
    {0xFF, 0x55, 0xFF},
    {0xFF, 0xFF, 0x55},
    {0xFF, 0xFF, 0xFF},
}};

int Distance(Rgb a, Rgb b) {
    const int dr = a.r - b.r;
    const int dg = a.g - b.g;
    const int db = a.b - b.b;
    return dr * dr + dg * dg + db * db;
}

int NearestPc(Rgb c) {
    int best = 0;
    for (int i = 1; i < 16; ++i)
        if (Distance(kVga[static_cast<std::size_t>(i)], c) < Distance(kVga[static_cast<std::size_t>(best)], c))
            best = i;
    return best;
}

Rgb Entry256(int index) {
    if (index >= 232) {
        const auto v = static_cast<uint8_t>(8 + 10 * (index - 232));
        return {v, v, v};
    }
    static constexpr uint8_t kSteps[] = {0x00, 0x5F, 0x87, 0xAF, 0xD7, 0xFF};
    const int i = index - 16;
    return {kSteps[i / 36], kSteps[(i / 6) % 6], kSteps[i % 6]};
}

// The cube's step nearest to one component, and the grey ramp's entry
// nearest to a grey: the best candidates of the two parts of the palette,
// found without a walk over all 240 entries (a piece may hold thousands of
// colours).
namespace {

int NearestStep(int v) {
    static constexpr int kSteps[] = {0x00, 0x5F, 0x87, 0xAF, 0xD7, 0xFF};
    int best = 0;
    for (int i = 1; i < 6; ++i)
        if ((v - kSteps[i]) * (v - kSteps[i]) < (v - kSteps[best]) * (v - kSteps[best])) best = i;
    return best;
}

}  // namespace

int Nearest256(Rgb c) {
    const int cube = 16 + 36 * NearestStep(c.r) + 6 * NearestStep(c.g) + NearestStep(c.b);
    const int mean = (c.r + c.g + c.b) / 3;
    int grey = 232 + (mean - 8 + 5) / 10;
    if (grey < 232) grey = 232;
    if (grey > 255) grey = 255;
    return Distance(Entry256(grey), c) < Distance(Entry256(cube), c) ? grey : cube;
}

}  // namespace palette
