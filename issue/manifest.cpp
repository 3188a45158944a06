// Reading the manifest of an issue: its number, date and names, and every
// list the reader sees, each entry checked against where the program shows it.
#include "issue/manifest.h"

#define TOML_EXCEPTIONS 0
#include <toml++/toml.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>

namespace issue {

Folder FolderOnDisk(const std::filesystem::path& folder) {
    if (folder.empty()) return {};
    return {folder.string(), [folder](const std::string& file) {
                std::error_code error;
                return std::filesystem::is_regular_file(folder / file, error);
            }};
}

// The resource a file of the folder becomes: its name without the
// extension, in lower case (the program asks for resources in lower case
// and writes working files under that stem).
std::string ResourceOf(const std::string& file) {
    std::string stem = std::filesystem::path(file).stem().string();
    std::transform(stem.begin(), stem.end(), stem.begin(), [](unsigned char c) { return std::tolower(c); });
    return stem;
}

// The files every issue has besides the ones its manifest names: the
// screens (with their plain-ASCII twins where the program asks for one)
// and the about and editorial texts.
const std::vector<std::string>& FixedScreens() {
    // The section table's screens, each with its twin where it has one.
    static const std::vector<std::string> screens = [] {
        std::vector<std::string> out;
        auto add = [&out](const std::string& name, bool twin) {
            out.push_back(name);
            if (twin) out.push_back(name + "_asc");
        };
        const SectionTable& table = Sections();
        for (const FixedScreen& screen : table.Screens) add(screen.Name, screen.Twin);
        add(table.Main.Screen, true);
        for (const Section& section : table.Sections) add(section.Screen, section.Twin);
        return out;
    }();
    return screens;
}
const std::vector<std::string>& FixedTexts() {
    static const std::vector<std::string> texts = [] {
        std::vector<std::string> out;
        for (const Section& section : Sections().Sections)
            if (section.Kind == SectionKind::Page) out.push_back(section.Text);
        return out;
    }();
    return texts;
}

const std::vector<Entry>& Manifest::Entries(std::string_view list) const {
    static const std::vector<Entry> none;
    const auto found = Lists.find(std::string(list));
    return found == Lists.end() ? none : found->second;
}
bool IsFixedResource(const std::string& name) {
    const auto& s = FixedScreens();
    const auto& t = FixedTexts();
    return std::find(s.begin(), s.end(), name) != s.end() || std::find(t.begin(), t.end(), name) != t.end() ||
           name == "soundlib" || name == "issue";
}

namespace {

bool PrintableAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](unsigned char c) { return c >= 32 && c <= 126; });
}

int LineOf(const toml::node& node) { return static_cast<int>(node.source().begin.line); }

// Reads one table of a list ([[article]], [[piece]] ...), key by key.
class TableReader {
public:
    TableReader(const toml::table& table, std::string what, std::vector<Problem>& problems)
        : table_(table), what_(std::move(what)), problems_(problems) {}

    // The text under Key; a problem when it is missing or not a text.
    std::string Text(const std::string& key, const std::string& example) {
        known_.insert(key);
        const toml::node* node = table_.get(key);
        if (!node) {
            Add(Line(), what_ + " has no " + key + "; add a line such as " + key + " = \"" + example + "\"");
            return {};
        }
        const auto value = node->value<std::string>();
        if (!node->is_string() || !value) {
            Add(LineOf(*node),
                what_ + ": " + key + " must be a text in double quotes, such as " + key + " = \"" + example + "\"");
            return {};
        }
        return *value;
    }

    // A problem for each key nobody asked for: most likely a misspelt one.
    void RefuseUnknownKeys() {
        for (auto&& [key, node] : table_)
            if (!known_.count(std::string(key.str())))
                Add(LineOf(node), what_ + ": unknown key " + std::string(key.str()) + "; the keys are " + KnownList());
    }

    // The whole number under Key, from Least to Most; Absent when the key is
    // not there, and a problem when it is no such number.
    int Number(const std::string& key, int least, int most, int absent, const std::string& meaning) {
        known_.insert(key);
        const toml::node* node = table_.get(key);
        if (!node) return absent;
        const auto value = node->value<int64_t>();
        if (!node->is_integer() || !value || *value < least || *value > most) {
            Add(LineOf(*node), what_ + ": " + key + " must be " + meaning + " from " + std::to_string(least) + " to " +
                                   std::to_string(most) + ", such as " + key + " = " + std::to_string(most));
            return absent;
        }
        return static_cast<int>(*value);
    }

    // Key is known, though read by other means than Text.
    void Allow(const std::string& key) { known_.insert(key); }
    int Line() const { return LineOf(table_); }
    void Add(int line, std::string text) { problems_.push_back({line, std::move(text)}); }
    int LineOfKey(const std::string& key) const {
        const toml::node* node = table_.get(key);
        return node ? LineOf(*node) : Line();
    }

private:
    std::string KnownList() const {
        std::string out;
        for (const std::string& k : known_) out += (out.empty() ? "" : ", ") + k;
        return out;
    }
    const toml::table& table_;
    std::string what_;
    std::vector<Problem>& problems_;
    std::set<std::string> known_;
};

// A menu label: one row of plain text that fits the menu's width.
void CheckLabel(TableReader& in, const std::string& what, const std::string& label, const Box& menu) {
    const int line = in.LineOfKey("label");
    if (label.empty()) in.Add(line, what + ": the label is empty; give the text its menu shows");
    const auto width = static_cast<std::size_t>(menu.Width);
    if (label.size() > width)
        in.Add(line, what + ": the label is " + std::to_string(label.size()) + " characters long, but its menu is " +
                         std::to_string(menu.Width) + " wide; shorten it to at most " + std::to_string(menu.Width));
    if (!PrintableAscii(label) || label.find('|') != std::string::npos)
        in.Add(line, what + ": the label holds a character other than printable ASCII, or a \"|\" (which starts a "
                            "colour code in a menu); use plain 7-bit characters");
}

// A text written into a header field.
void CheckField(TableReader& in, const std::string& what, const std::string& key, const std::string& text) {
    const int line = in.LineOfKey(key);
    if (text.size() > MaxFieldLength)
        in.Add(line, what + ": the " + key + " is " + std::to_string(text.size()) +
                         " characters long; shorten it to at most " + std::to_string(MaxFieldLength));
    if (!PrintableAscii(text))
        in.Add(line,
               what + ": the " + key + " holds a character other than printable ASCII; use plain 7-bit characters");
}

// A file of the issue folder: a plain name whose stem can be a resource
// name (letters, digits, "_") and is not one the program keeps for itself.
void CheckFileName(TableReader& in, const std::string& what, const std::string& key, const std::string& file,
                   const Folder& folder) {
    if (file.empty()) return;  // already reported
    const int line = in.LineOfKey(key);
    const std::string stem = ResourceOf(file);
    const bool plain =
        file.find_first_of("/\\:") == std::string::npos && !stem.empty() &&
        std::all_of(stem.begin(), stem.end(), [](unsigned char c) { return std::isalnum(c) || c == '_'; });
    if (!plain) {
        in.Add(line, what + ": " + key + " \"" + file +
                         "\" is not a plain file name of this folder; name a file such as "
                         "\"article1.txt\" (letters, digits and _ before the dot)");
        return;
    }
    if (IsFixedResource(stem)) {
        in.Add(line, what + ": " + key + " \"" + file + "\" has the name of one of the issue's screens or texts (" +
                         stem + "); rename the file");
        return;
    }
    if (folder.Has && !folder.Has(file))
        in.Add(line,
               what + ": " + key + " \"" + file + "\" is not in " + folder.Name + "; add the file or correct the name");
}

std::vector<const toml::table*> ListOf(const toml::table& root, const std::string& key, const std::string& what,
                                       std::vector<Problem>& problems) {
    std::vector<const toml::table*> out;
    const toml::node* node = root.get(key);
    if (!node) return out;
    const toml::array* array = node->as_array();
    if (!array) {
        problems.push_back(
            {LineOf(*node), key + " must be a list of tables, each starting with a line [[" + key + "]]"});
        return out;
    }
    for (const toml::node& item : *array) {
        if (const toml::table* table = item.as_table())
            out.push_back(table);
        else
            problems.push_back(
                {LineOf(item), "each " + what + " must be a table starting with a line [[" + key + "]]"});
    }
    return out;
}

// Lines: where each entry of the list begins.
void CheckCount(const std::vector<int>& lines, std::size_t most, const std::string& key, const std::string& where,
                std::vector<Problem>& problems) {
    if (lines.empty()) problems.push_back({0, "no [[" + key + "]] entries; the " + where + " needs at least one"});
    if (lines.size() > most)
        problems.push_back({lines[most], std::to_string(lines.size()) + " [[" + key + "]] entries, but the " + where +
                                             " has room for " + std::to_string(most) +
                                             "; remove this one and those after it"});
}

template <typename T>
std::vector<int> LinesOf(const std::vector<T>& list) {
    std::vector<int> lines;
    for (const T& item : list) lines.push_back(item.Line);
    return lines;
}

bool IsCategory(const std::string& text) {
    if (text.empty() || text.front() == '/' || text.back() == '/' || text.find("//") != std::string::npos) return false;
    return std::all_of(text.begin(), text.end(),
                       [](unsigned char c) { return c == '/' || std::islower(c) || std::isdigit(c) || c == '-'; });
}

// A label that begins with one of Tags (a section's levels); any label
// where the section has none.
bool IsLevelTagged(const std::string& label, const std::vector<std::string>& tags) {
    if (tags.empty()) return true;
    for (const std::string& tag : tags)
        if (label.rfind(tag, 0) == 0) return true;
    return false;
}

std::string TagList(const std::vector<std::string>& tags) {
    std::string out;
    for (std::size_t i = 0; i < tags.size(); ++i) {
        std::string tag = tags[i];
        while (!tag.empty() && tag.back() == ' ') tag.pop_back();
        out += (i == 0 ? "" : i + 1 == tags.size() ? " or " : ", ") + tag;
    }
    return out;
}

std::vector<Entry> ReadEntries(const toml::table& root, const Section& section, const Folder& folder,
                               std::vector<Problem>& problems) {
    const std::string& key = section.List;
    const std::string where = section.Title + " section";
    std::vector<Entry> out;
    for (const toml::table* table : ListOf(root, key, key, problems)) {
        const std::string what = key + " " + std::to_string(out.size() + 1);
        TableReader in(*table, what, problems);
        Entry e;
        e.Line = in.Line();
        e.Label = in.Text("label", "scene news...");
        e.Text = in.Text("text", "news.txt");
        e.Title = in.Text("title", "scene news, issue #2");
        e.Author = in.Text("author", "moth");
        e.Category = in.Text("category", "scene/news");
        in.RefuseUnknownKeys();
        CheckLabel(in, what, e.Label, section.Menu);
        if (!IsLevelTagged(e.Label, section.LevelTags))
            in.Add(in.LineOfKey("label"), what + ": the label \"" + e.Label + "\" does not begin with its level, " +
                                              TagList(section.LevelTags) + " and a space; write it like \"" +
                                              section.LevelTags.front() + e.Label + "\"");
        CheckFileName(in, what, "text", e.Text, folder);
        if (e.Title.empty()) in.Add(in.LineOfKey("title"), what + ": the title is empty; give the header's title");
        CheckField(in, what, "title", e.Title);
        CheckField(in, what, "author", e.Author);
        CheckField(in, what, "category", e.Category);
        if (!IsCategory(e.Category))
            in.Add(in.LineOfKey("category"),
                   what + ": the category \"" + e.Category +
                       "\" is not lower-case words joined by \"/\"; write it like \"scene/news\"");
        out.push_back(std::move(e));
    }
    CheckCount(LinesOf(out), section.Menu.MaxEntries(), key, where, problems);
    return out;
}

// Whether Prefix, a line up to an opening quote, is a key and its "=": the
// quote then opens the key's value, which the TOML library reads as a text
// without classifying its characters.
bool OpensValue(std::string_view prefix) {
    const std::size_t equals = prefix.find('=');
    if (equals == std::string_view::npos) return false;
    const std::string_view key = prefix.substr(0, equals);
    const auto keyChar = [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.' || c == ' ' || c == '\t';
    };
    return std::all_of(key.begin(), key.end(), keyChar) && key.find_first_not_of(" \t") != std::string_view::npos &&
           prefix.find_first_not_of(" \t", equals + 1) == std::string_view::npos;
}

// The line of the first byte outside the ASCII set that stands outside a
// comment and a one-line text given to a key ("key = ..."), or 0. The
// TOML library must not meet one anywhere else: where it looks for white
// space (between and inside keys and values, and after a backslash in a
// long text) it cannot classify some of them (U+00A1 to U+0499, for one)
// and reaches code it holds to be unreachable. Fields are plain 7-bit text
// in any case; in a key's one-line text such a character is left to the
// field's own rule, which names the field.
//
// Any quote outside a comment is taken to open a text, even one the
// library would read as part of a bare value: a "#" is then never taken
// for a comment's start where the library would read on.
int LineOfStrayNonAscii(std::string_view text) {
    int line = 1;
    std::string_view quote;  // the open text's delimiter, if any
    bool keyText = false;    // the open text is a key's one-line value
    bool comment = false;
    // A byte order mark, which some editors put first, is the library's to skip.
    const std::size_t first = text.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    std::size_t lineStart = first;
    for (std::size_t i = first; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\n') {
            ++line;
            lineStart = i + 1;
            comment = false;
            if (quote.size() == 1) quote = {};  // a one-line text ends; TOML reports it
            continue;
        }
        if (static_cast<unsigned char>(c) >= 0x80) {
            if (comment || (!quote.empty() && keyText)) continue;
            return line;
        }
        if (comment) continue;
        if (!quote.empty()) {
            // An escaped quote does not end the text. A line break or a
            // character outside ASCII is looked at like any other.
            if (c == '\\' && quote[0] == '"') {
                const unsigned char next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
                if (next != '\n' && next < 0x80) ++i;
            } else if (text.substr(i, quote.size()) == quote) {
                i += quote.size() - 1;
                quote = {};
            }
            continue;
        }
        if (c == '#') {
            comment = true;
        } else if (c == '"' || c == '\'') {
            const std::string_view three = text.substr(i, 3);
            quote = three == "\"\"\"" || three == "'''" ? three : text.substr(i, 1);
            keyText = quote.size() == 1 && OpensValue(text.substr(lineStart, i - lineStart));
            i += quote.size() - 1;
        }
    }
    return 0;
}

// A magazine's name: lower-case words of letters and digits, one space
// between them, short enough for the big letters of the logo.
bool IsMagazineName(const std::string& name) {
    if (name.empty() || name.size() > MaxNameLength || name.front() == ' ' || name.back() == ' ' ||
        name.find("  ") != std::string::npos)
        return false;
    return std::all_of(name.begin(), name.end(),
                       [](unsigned char c) { return c == ' ' || std::islower(c) || std::isdigit(c); });
}

// The optional text under Key, checked by Fits; nullopt when it is absent
// or not a text (which is reported).
std::optional<std::string> OptionalText(const toml::table& root, TableReader& top, const std::string& key,
                                        const std::function<bool(const std::string&)>& fits, const std::string& rule,
                                        std::vector<Problem>& problems) {
    top.Allow(key);
    const toml::node* node = root.get(key);
    if (!node) return std::nullopt;
    const auto value = node->value<std::string>();
    if (!node->is_string() || !value || !fits(*value)) {
        problems.push_back({LineOf(*node), "the " + key + " must be " + rule});
        return std::nullopt;
    }
    return *value;
}

// The magazine's name, its board's contact line and the title its pages
// and packages carry. Without them the issue reads as the first one does;
// a magazine that names itself has no board line unless it gives one.
void ReadNames(const toml::table& root, TableReader& top, Manifest& m, std::vector<Problem>& problems) {
    const auto name = OptionalText(root, top, "name", IsMagazineName,
                                   "1 to " + std::to_string(MaxNameLength) +
                                       " lower-case letters and digits, one space between words, such as "
                                       "name = \"harbour news\"",
                                   problems);
    const auto contact = OptionalText(
        root, top, "contact",
        [](const std::string& text) { return text.size() <= MaxContactLength && PrintableAscii(text); },
        "at most " + std::to_string(MaxContactLength) +
            " plain 7-bit characters, such as contact = \"the harbour board - telnet bbs.example.org 23\" "
            "(or \"\" for none)",
        problems);
    const auto title = OptionalText(
        root, top, "title",
        [](const std::string& text) { return !text.empty() && text.size() <= MaxTitleLength && PrintableAscii(text); },
        "1 to " + std::to_string(MaxTitleLength) + " plain 7-bit characters, such as title = \"harbour news\"",
        problems);
    if (root.get("name")) m.Name = name.value_or(std::string(FirstName));
    m.Contact = contact ? *contact : root.get("name") ? std::string() : std::string(FirstContact);
    m.Title = title.value_or(m.Name + " magazine");
}


void ReadNumberDateHeadline(const toml::table& root, TableReader& top, Manifest& m, std::vector<Problem>& problems) {
    if (const toml::node* number = root.get("number"); number && number->is_integer() && number->value<int64_t>() &&
                                                       *number->value<int64_t>() >= 1 &&
                                                       *number->value<int64_t>() <= 9999)
        m.Number = static_cast<int>(*number->value<int64_t>());
    else
        problems.push_back({number ? LineOf(*number) : 0, "the issue needs its number, a whole number from 1 to 9999, "
                                                          "as a line such as number = 2"});
    m.Date = top.Text("date", "january 2027");
    if (const toml::node* date = root.get("date");
        date && date->is_string() && (m.Date.empty() || m.Date.size() > MaxDateLength || !PrintableAscii(m.Date)))
        problems.push_back({LineOf(*date), "the date must be 1 to " + std::to_string(MaxDateLength) +
                                               " plain 7-bit characters, such as \"january 2027\""});
    const auto headline = OptionalText(
        root, top, "headline",
        [](const std::string& text) { return text.size() <= MaxHeadlineLength && PrintableAscii(text); },
        "at most " + std::to_string(MaxHeadlineLength) +
            " plain 7-bit characters: one line on what the issue holds, such as "
            "headline = \"the harbour lights special\"",
        problems);
    m.Headline = headline.value_or("");
}

std::vector<Piece> ReadPieces(const toml::table& root, const Section& gallery, const Folder& folder,
                              std::vector<Problem>& problems) {
    std::vector<Piece> pieces;
    for (const toml::table* table : ListOf(root, gallery.List, gallery.List, problems)) {
        const std::string what = gallery.List + " " + std::to_string(pieces.size() + 1);
        TableReader in(*table, what, problems);
        Piece p;
        p.Line = in.Line();
        p.Label = in.Text("label", "b b s  a r t  1");
        p.Art = in.Text("art", "art1.ans");
        p.SaveAs = in.Text("save_as", "ansi_art1.ans");
        p.Width = in.Number("width", PieceMinWidth, PieceMaxWidth, 0, "the piece's number of columns");
        in.RefuseUnknownKeys();
        CheckLabel(in, what, p.Label, gallery.Menu);
        CheckFileName(in, what, "art", p.Art, folder);
        const bool plain = !p.SaveAs.empty() && p.SaveAs != "." && p.SaveAs != ".." &&
                           p.SaveAs.find_first_of("/\\:") == std::string::npos && PrintableAscii(p.SaveAs) &&
                           p.SaveAs.size() <= MaxSaveNameLength;
        if (!plain)
            in.Add(in.LineOfKey("save_as"), what + ": save_as \"" + p.SaveAs +
                                                "\" is not a plain file name of at most " +
                                                std::to_string(MaxSaveNameLength) +
                                                " characters; propose a name such as \"ansi_art1.ans\" (no / \\ or :)");
        pieces.push_back(std::move(p));
    }
    CheckCount(LinesOf(pieces), gallery.Menu.MaxEntries(), gallery.List, "gallery", problems);
    return pieces;
}

std::vector<Track> ReadTracks(const toml::table& root, const OverlayMenuTable& menu, const Folder& folder,
                              std::vector<Problem>& problems) {
    std::vector<Track> tracks;
    for (const toml::table* table : ListOf(root, menu.List, menu.List, problems)) {
        const std::string what = menu.List + " " + std::to_string(tracks.size() + 1);
        TableReader in(*table, what, problems);
        Track t;
        t.Line = in.Line();
        t.Label = in.Text("label", "b r i g h t   h o r i z o n");
        t.Module = in.Text("module", "music1.xm");
        in.RefuseUnknownKeys();
        CheckLabel(in, what, t.Label, menu.Menu);
        CheckFileName(in, what, "module", t.Module, folder);
        tracks.push_back(std::move(t));
    }
    CheckCount(LinesOf(tracks), menu.Menu.MaxEntries(), menu.List, "track menu", problems);
    return tracks;
}

}  // namespace

// Reads the manifest Text (read from Source, named in TOML's messages) and
// checks it; the files it names must be in Folder. Problems are appended.
Manifest ReadManifestText(std::string_view text, const std::string& source, const Folder& folder,
                          std::vector<Problem>& problems, ManifestRole role) {
    Manifest m;
    if (const int line = LineOfStrayNonAscii(text)) {
        problems.push_back({line,
                            "a character outside the ASCII set stands outside a comment and a one-line text in quotes; "
                            "write the manifest in plain 7-bit characters"});
        return m;
    }
    toml::parse_result parsed = toml::parse(text, source);
    if (!parsed) {
        const toml::parse_error& error = parsed.error();
        problems.push_back({static_cast<int>(error.source().begin.line),
                            "this is not valid TOML: " + std::string(error.description()) +
                                "; texts go in double quotes, lists start with [[name]]"});
        return m;
    }
    const toml::table& root = parsed.table();
    const SectionTable& table = Sections();
    TableReader top(root, "the issue", problems);
    top.Allow("number");
    for (const Section& section : table.Sections)
        if (!section.List.empty()) top.Allow(section.List);
    top.Allow(table.Tracks.List);
    if (role == ManifestRole::Alone) {
        ReadNames(root, top, m, problems);
    } else {
        // In a magazine folder the magazine is named once, in magazine.toml.
        for (const char* key : {"name", "contact", "title"})
            if (const toml::node* node = root.get(key)) {
                top.Allow(key);
                problems.push_back({LineOf(*node), std::string("the ") + key +
                                                       " names the whole magazine: write it in the magazine "
                                                       "folder's magazine.toml, not in an issue's issue.toml"});
            }
    }
    ReadNumberDateHeadline(root, top, m, problems);
    top.RefuseUnknownKeys();

    for (const Section& section : table.Sections) {
        if (section.Kind == SectionKind::Entries) m.Lists[section.List] = ReadEntries(root, section, folder, problems);
        if (section.Kind == SectionKind::Gallery) m.Pieces = ReadPieces(root, section, folder, problems);
    }
    m.Tracks = ReadTracks(root, table.Tracks, folder, problems);
    return m;
}

MagazineNames NamesOf(const Manifest& m) { return {m.Name, m.Contact, m.Title}; }

void GiveNames(Manifest& m, const MagazineNames& names) {
    m.Name = names.Name;
    m.Contact = names.Contact;
    m.Title = names.Title;
}

MagazineNames ReadMagazineText(std::string_view text, const std::string& source, std::vector<Problem>& problems) {
    Manifest m;
    GiveNames(m, {});
    m.Title = m.Name + " magazine";
    if (const int line = LineOfStrayNonAscii(text)) {
        problems.push_back({line,
                            "a character outside the ASCII set stands outside a comment and a one-line text in quotes; "
                            "write magazine.toml in plain 7-bit characters"});
        return NamesOf(m);
    }
    toml::parse_result parsed = toml::parse(text, source);
    if (!parsed) {
        const toml::parse_error& error = parsed.error();
        problems.push_back({static_cast<int>(error.source().begin.line),
                            "this is not valid TOML: " + std::string(error.description()) + "; texts go in double quotes"});
        return NamesOf(m);
    }
    const toml::table& root = parsed.table();
    TableReader top(root, "the magazine", problems);
    ReadNames(root, top, m, problems);
    top.RefuseUnknownKeys();
    return NamesOf(m);
}

// Reads the manifest at Path and checks it; the files it names must be in
// Folder (pass an empty Folder to skip that). Problems are appended.
Manifest ReadManifest(const std::filesystem::path& path, const std::filesystem::path& folder,
                      std::vector<Problem>& problems, ManifestRole role) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        problems.push_back({0, "there is no manifest; write one (see docs/making-an-issue.md)"});
        return {};
    }
    std::ifstream in(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.is_open() || in.bad()) {
        problems.push_back({0, "the manifest cannot be read; check its permissions"});
        return {};
    }
    return ReadManifestText(text, path.string(), FolderOnDisk(folder), problems, role);
}

// Text with its control characters written out (\n, \r, \t, \xNN), so
// that a problem stays on its one line whatever it quotes: a file name
// with a line break, or the character a TOML error saw.
std::string OneLine(const std::string& text) {
    static const char* const kHex = "0123456789abcdef";
    std::string out;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\t')
            out += "\\t";
        else if (u < 0x20 || u == 0x7f)
            out += std::string("\\x") + kHex[u >> 4] + kHex[u & 15];
        else
            out += c;
    }
    return out;
}

// "FILE:LINE: text" (or "FILE: text" for the whole file), on one line.
std::string Format(const std::string& file, const Problem& p) {
    return OneLine(file + ":" + (p.Line > 0 ? std::to_string(p.Line) + ":" : "") + " " + p.Text);
}

}  // namespace issue

namespace issue {

std::string Spaced(std::string_view name, int wordGap) {
    std::string out;
    for (const char c : name) {
        if (c == ' ') {
            out.append(static_cast<std::size_t>(wordGap), ' ');
            continue;
        }
        if (!out.empty() && out.back() != ' ') out += ' ';
        out += c;
    }
    return out;
}

}  // namespace issue
