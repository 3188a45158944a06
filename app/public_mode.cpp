#include "public_mode.h"

#include <cstdlib>

#include "../console/m_Console.h"
#include "../widgets/boxes.h"

namespace {

bool VariableSet(const char* name) { return std::getenv(name) != nullptr; }

}  // namespace

bool PublicMode() {
    const char* value = std::getenv("QUIXMAG_PUBLIC");
    // Anything but off counts as on: a board that mistypes the value must
    // not start saving files for its callers.
    return value != nullptr && *value != '\0' && std::string(value) != "0";
}

bool SavingAllowed() { return !PublicMode(); }

bool MusicAllowed() { return !PublicMode() && !VariableSet("SSH_CONNECTION"); }

void ShowSavingOff() {
    constexpr Byte Left = 24, Top = 11, Right = 57, Bottom = 15;
    constexpr int Inner = Right - Left - 1;
    TMenuBox box;
    box.FrameStyle = 1;
    box.Draw(Left, Top, Right, Bottom);
    WriteXY(Left + 1, Top + 1, 0x70, PadCenter(SavingOffNotice, Inner, ' '));
    WriteXY(Left + 1, Top + 3, 0x78, PadCenter("press a key", Inner, ' '));
    ReadKey();
    RestoreScreen(box.Background);
}
