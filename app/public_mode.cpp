#include "app/public_mode.h"

#include <cstdlib>

#include "console/m_Console.h"
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

ViewerSettings ViewerPolicy(std::function<void()> savingRefused) {
    ViewerSettings settings;
    if (!SavingAllowed()) settings.SavingOffNotice = SavingOffNotice;
    settings.SavingRefused = std::move(savingRefused);
    return settings;
}

const std::string& PiecePrompt() { return SavingAllowed() ? ArtworkPrompt : SavingOffArtworkPrompt; }

namespace {

// Writes Instead over Length cells from (X, Y), each in its own colour;
// what Instead leaves of the claim is blanked.
void WriteInPlace(int x, int y, std::size_t length, std::string_view instead) {
    for (std::size_t i = 0; i < length; ++i) {
        const int col = x + static_cast<int>(i);
        WriteXY(col, y, AttrAt(col, y), std::string(1, i < instead.size() ? instead[i] : ' '));
    }
}

}  // namespace

void MarkWhatTheLineLacks() {
    const bool silent = !MusicAllowed();
    const bool noSaving = !SavingAllowed();
    if (!silent && !noSaving) return;
    for (int y = 1; y <= ScreenRows; ++y) {
        std::string row;
        for (int x = 1; x <= ScreenCols; ++x) row += CharAt(x, y);
        for (const LineClaim& claim : LineClaims) {
            if (claim.OfSaving ? !noSaving : !silent) continue;
            for (std::size_t at = row.find(claim.Offer); at != std::string::npos; at = row.find(claim.Offer, at + 1)) {
                WriteInPlace(static_cast<int>(at) + 1, y, claim.Offer.size(), claim.Instead);
                row.replace(at, claim.Offer.size(), PadRight(std::string(claim.Instead), static_cast<int>(claim.Offer.size()), ' '));
            }
        }
    }
}

void ShowSavingOff() { ShowNotice("", SavingOffNotice); }
