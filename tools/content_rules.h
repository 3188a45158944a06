// The check of the content built into an executable: every resource its
// issue's manifest and the section table call for is there, and each keeps
// the rules of its kind (ansi/screen_rules.h for screens and pieces,
// viewer/text_rules.h for texts, music/module_rules.h for modules). The
// check tool runs it on the embedded resources, the unit tests on hand-made
// good and bad inputs.
//
// Header-only on purpose: the check tool's build target compiles one source
// file, and the unit tests include the same functions.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ansi/screen_rules.h"
#include "console/m_Console.h"
#include "issue/manifest.h"
#include "music/module_rules.h"
#include "viewer/text_rules.h"

namespace contentrules {

enum class Kind { Screen, Piece, Twin, Text, Module, Library };

struct CatalogueEntry {
    std::string Name;  // in capitals, as the resources are stored
    Kind Type;
    const issue::Piece* Piece = nullptr;  // a gallery piece's manifest entry
};

// Every resource the program asks for: the screens of the section table
// (with their NAME_ASC where they have a twin), and the artworks, texts and
// modules the manifest M names.
inline std::vector<CatalogueEntry> Catalogue(const issue::Manifest& m) {
    std::vector<CatalogueEntry> all;
    auto listed = [&](const std::string& name) {
        for (const CatalogueEntry& entry : all)
            if (entry.Name == name) return true;
        return false;
    };
    for (const std::string& screen : issue::FixedScreens())
        all.push_back({Upper(screen), screen.ends_with("_asc") ? Kind::Twin : Kind::Screen});
    for (const issue::Piece& piece : m.Pieces) all.push_back({Upper(issue::ResourceOf(piece.Art)), Kind::Piece, &piece});
    auto text = [&](const std::string& name) {
        if (!listed(name)) all.push_back({name, Kind::Text});  // two entries may share a text
    };
    for (const auto& [list, entries] : m.Lists)
        for (const issue::Entry& entry : entries) text(Upper(issue::ResourceOf(entry.Text)));
    for (const std::string& page : issue::FixedTexts()) text(Upper(page));
    for (const issue::Track& track : m.Tracks)
        if (!listed(Upper(issue::ResourceOf(track.Module))))
            all.push_back({Upper(issue::ResourceOf(track.Module)), Kind::Module});
    all.push_back({"SOUNDLIB", Kind::Library});
    return all;
}

// All rules that concern one resource.
inline Problems CheckResource(const ScreenDrawer& drawer, const CatalogueEntry& entry, std::string_view bytes) {
    Problems out;
    auto add = [&](Problems more) { out.insert(out.end(), more.begin(), more.end()); };
    if (bytes.empty()) return {entry.Name + ": is empty"};
    switch (entry.Type) {
    case Kind::Piece: {
        bool text = false;
        for (const Finding& f : CheckPiece(drawer, entry.Piece->Art, bytes, entry.Piece->Width, text))
            out.push_back(entry.Name + ": " + f.What);
        break;
    }
    case Kind::Twin: add(CheckTwinBytes(entry.Name, bytes)); [[fallthrough]];
    case Kind::Screen:
        add(CheckMarkerCount(entry.Name, bytes));
        add(CheckEnding(drawer, entry.Name, bytes));
        for (const Finding& f : CheckLayout(drawer, bytes)) out.push_back(entry.Name + ": " + f.What);
        add(CheckFits(drawer, entry.Name, bytes));  // leaves the whole drawing on the console
        for (const Box& box : BoxesOf(entry.Name)) add(CheckBoxClear(entry.Name, box));
        if (IsHeader(entry.Name)) add(CheckHeaderFields(entry.Name));
        break;
    case Kind::Text: add(CheckText(entry.Name, bytes)); break;
    case Kind::Module: add(CheckModule(entry.Name, bytes)); break;
    case Kind::Library: add(CheckLibrary(entry.Name, bytes)); break;
    }
    return out;
}

// Resources in the executable that the program never asks for: a file in
// the content folder under a wrong name shows up here (and as missing).
inline Problems CheckUncatalogued(const issue::Manifest& m, const std::vector<std::string>& embeddedNames) {
    Problems out;
    const std::vector<CatalogueEntry> known = Catalogue(m);
    for (const std::string& name : embeddedNames) {
        if (Upper(name) == "ISSUE") continue;  // the manifest, read when the program starts
        bool listed = false;
        for (const CatalogueEntry& entry : known) listed = listed || entry.Name == Upper(name);
        if (!listed) out.push_back(name + ": embedded, but the program never asks for it (a misnamed file?)");
    }
    return out;
}

// The bytes of a resource by name; nullopt when there is none.
using Lookup = std::function<std::optional<std::string_view>(const std::string&)>;

struct Summary {
    int Resources = 0;
    int Screens = 0;
    int Texts = 0;
};

// Checks every resource the manifest M calls for and names the ones that
// are missing.
inline Problems CheckCatalogue(const issue::Manifest& m, const Lookup& lookup, Summary& summary) {
    Problems out;
    const ScreenDrawer drawer;
    if (!drawer.SelfTest())
        out.push_back("(checker): a scroll cannot be noticed on this console build; screens unchecked");
    for (const CatalogueEntry& entry : Catalogue(m)) {
        const auto bytes = lookup(entry.Name);
        if (!bytes) {
            out.push_back(entry.Name + ": missing from the executable");
            continue;
        }
        ++summary.Resources;
        if (entry.Type == Kind::Screen || entry.Type == Kind::Twin || entry.Type == Kind::Piece) ++summary.Screens;
        if (entry.Type == Kind::Text) ++summary.Texts;
        const Problems more = CheckResource(drawer, entry, *bytes);
        out.insert(out.end(), more.begin(), more.end());
    }
    return out;
}

}  // namespace contentrules
