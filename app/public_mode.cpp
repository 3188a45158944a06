#include "app/public_mode.h"

#include <cstdlib>

#include "widgets/boxes.h"

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

int32_t BarIdleRestMs() { return PublicMode() ? PublicBarRestMs : 0; }

ViewerSettings ViewerPolicy() {
    ViewerSettings settings;
    if (!SavingAllowed()) settings.SavingOffNotice = SavingOffNotice;
    return settings;
}

void ShowSavingOff() { ShowNotice("", SavingOffNotice); }
