#include "issue/sections.h"

#define TOML_EXCEPTIONS 0
#include <toml++/toml.h>

#include <cstdlib>
#include <cstdio>
#include <optional>
#include <set>

namespace issue {

namespace {

int LineOf(const toml::node& node) { return static_cast<int>(node.source().begin.line); }

// Reads one table of the file, key by key, and remembers the first fault.
class TableReader {
public:
    TableReader(const toml::table& table, std::string what, std::string& error)
        : table_(table), what_(std::move(what)), error_(error) {}

    bool Ok() const { return error_.empty(); }

    std::string Text(const char* key, bool required = true) {
        known_.insert(key);
        const toml::node* node = table_.get(key);
        if (!node) {
            if (required) Fail(LineOf(table_), "has no " + std::string(key));
            return {};
        }
        const auto value = node->value<std::string>();
        if (!node->is_string() || !value) Fail(LineOf(*node), std::string(key) + " must be a text");
        return value.value_or("");
    }

    bool Flag(const char* key, bool absent) {
        known_.insert(key);
        const toml::node* node = table_.get(key);
        if (!node) return absent;
        if (!node->is_boolean()) Fail(LineOf(*node), std::string(key) + " must be true or false");
        return node->value<bool>().value_or(absent);
    }

    int Number(const char* key, int least, int most, int absent) {
        known_.insert(key);
        const toml::node* node = table_.get(key);
        if (!node) return absent;
        const auto value = node->value<int64_t>();
        if (!node->is_integer() || !value || *value < least || *value > most) {
            Fail(LineOf(*node), std::string(key) + " must be a whole number from " + std::to_string(least) + " to " +
                                    std::to_string(most));
            return absent;
        }
        return static_cast<int>(*value);
    }

    // An array of N whole numbers, each within 1..Most.
    std::vector<int> Numbers(const char* key, std::size_t n, int most) {
        known_.insert(key);
        std::vector<int> out;
        const toml::node* node = table_.get(key);
        const toml::array* array = node ? node->as_array() : nullptr;
        if (!array || array->size() != n) {
            Fail(node ? LineOf(*node) : LineOf(table_), std::string(key) + " must be " + std::to_string(n) + " numbers");
            return std::vector<int>(n, 1);
        }
        for (const toml::node& item : *array) {
            const auto value = item.value<int64_t>();
            if (!item.is_integer() || !value || *value < 1 || *value > most) {
                Fail(LineOf(item), std::string(key) + " holds a number outside 1.." + std::to_string(most));
                return std::vector<int>(n, 1);
            }
            out.push_back(static_cast<int>(*value));
        }
        return out;
    }

    std::vector<std::string> Texts(const char* key) {
        known_.insert(key);
        std::vector<std::string> out;
        const toml::node* node = table_.get(key);
        if (!node) return out;
        const toml::array* array = node->as_array();
        if (!array) {
            Fail(LineOf(*node), std::string(key) + " must be a list of texts");
            return out;
        }
        for (const toml::node& item : *array) {
            const auto value = item.value<std::string>();
            if (!item.is_string() || !value) Fail(LineOf(item), std::string(key) + " must be a list of texts");
            out.push_back(value.value_or(""));
        }
        return out;
    }

    Box MenuBox(const char* key) {
        const std::vector<int> b = Numbers(key, 4, 80);
        const Box box{b[0], b[1], b[2], b[3]};
        if (Ok() && (box.Right() > 80 || box.Bottom() > 25))
            Fail(LineOf(*table_.get(key)), std::string(key) + " runs past the 80x25 screen");
        return box;
    }

    BarColours Colours() {
        known_.insert("colours");
        const toml::node* node = table_.get("colours");
        const toml::array* array = node ? node->as_array() : nullptr;
        if (!array || array->size() != 3 || !(*array)[0].is_string() || !(*array)[1].is_string() ||
            !(*array)[2].is_integer()) {
            Fail(node ? LineOf(*node) : LineOf(table_), "colours must be [lit, others, ripple attribute]");
            return {};
        }
        const int64_t anim = (*array)[2].value<int64_t>().value_or(15);
        return {(*array)[0].value<std::string>().value_or(""), (*array)[1].value<std::string>().value_or(""),
                static_cast<uint8_t>(anim & 0xFF)};
    }

    issue::Pause ScreenPause(const char* key) {
        known_.insert(key);
        const toml::node* node = table_.get(key);
        if (!node) return {};
        if (node->is_string() && node->value<std::string>() == "display") return {0, true};
        const auto value = node->value<int64_t>();
        if (!node->is_integer() || !value || *value < 0 || *value > 100000) {
            Fail(LineOf(*node), std::string(key) + " must be a pause interval or \"display\"");
            return {};
        }
        return {static_cast<int32_t>(*value), false};
    }

    // Keys the generator alone reads are known without being read here.
    void Allow(std::initializer_list<const char*> keys) {
        for (const char* key : keys) known_.insert(key);
    }

    void RefuseUnknownKeys() {
        for (auto&& [key, node] : table_)
            if (!known_.count(std::string(key.str()))) Fail(LineOf(node), "unknown key " + std::string(key.str()));
    }

    void Fail(int line, const std::string& text) {
        if (error_.empty()) error_ = "sections.toml:" + std::to_string(line) + ": " + what_ + ": " + text;
    }

private:
    const toml::table& table_;
    std::string what_;
    std::string& error_;
    std::set<std::string> known_;
};

const toml::table* TableAt(const toml::table& root, const char* key, std::string& error) {
    const toml::table* table = root.get_as<toml::table>(key);
    if (!table && error.empty()) error = std::string("sections.toml: there is no [") + key + "] table";
    return table;
}

Section ReadSection(const toml::table& t, std::size_t index, std::string& error) {
    TableReader in(t, "section " + std::to_string(index + 1), error);
    Section s;
    s.Key = in.Text("key");
    s.Label = in.Text("label");
    s.Title = in.Text("title");
    const std::string kind = in.Text("kind");
    s.Screen = in.Text("screen");
    s.Twin = in.Flag("twin", true);
    s.ScreenPause = in.ScreenPause("pause");
    if (kind == "entries" || kind == "gallery") {
        s.Kind = kind == "entries" ? SectionKind::Entries : SectionKind::Gallery;
        s.List = in.Text("list");
        s.Menu = in.MenuBox("box");
        s.Colours = in.Colours();
        s.HeaderPause = in.Number("header_pause", 0, 100000, 5000);
        s.LevelTags = in.Texts("level_tags");
        s.AsciiRefusal = in.Text("ascii_refusal", false);
    } else if (kind == "page") {
        s.Kind = SectionKind::Page;
        s.Text = in.Text("text");
        const std::vector<int> w = in.Numbers("window", 4, 80);
        s.Window = Box{w[0], w[1], w[2], w[3]};
    } else {
        in.Fail(t.get("kind") ? LineOf(*t.get("kind")) : LineOf(t), "kind must be entries, gallery or page");
    }
    in.Allow({"theme", "heading", "subtitle", "prompt", "stars"});
    in.RefuseUnknownKeys();
    return s;
}

OverlayMenuTable ReadOverlay(const toml::table& t, const char* what, std::string& error) {
    TableReader in(t, what, error);
    OverlayMenuTable o;
    o.List = in.Text("list", false);
    o.Place = in.Text("place", false);
    o.Title = in.Text("title", false);
    o.Menu = in.MenuBox("box");
    o.Colours = in.Colours();
    o.CloseLabel = in.Text("close_label");
    in.RefuseUnknownKeys();
    return o;
}

}  // namespace

const Section* SectionTable::Find(std::string_view key) const {
    for (const Section& s : Sections)
        if (s.Key == key) return &s;
    return nullptr;
}

const Section* SectionTable::OfList(std::string_view list) const {
    for (const Section& s : Sections)
        if (!s.List.empty() && s.List == list) return &s;
    return nullptr;
}

bool ReadSectionTable(std::string_view text, SectionTable& table, std::string& error) {
    error.clear();
    table = SectionTable{};
    toml::parse_result parsed = toml::parse(text, std::string_view("sections.toml"));
    if (!parsed) {
        error = "sections.toml:" + std::to_string(parsed.error().source().begin.line) + ": " +
                std::string(parsed.error().description());
        return false;
    }
    const toml::table& root = parsed.table();
    if (const toml::table* screens = TableAt(root, "screens", error)) {
        for (auto&& [name, node] : *screens) {
            const toml::table* entry = node.as_table();
            if (!entry) {
                error = "sections.toml:" + std::to_string(LineOf(node)) + ": screens: each is { twin = ... }";
                return false;
            }
            TableReader in(*entry, "screen " + std::string(name.str()), error);
            table.Screens.push_back({std::string(name.str()), in.Flag("twin", true)});
            in.RefuseUnknownKeys();
        }
    }
    if (const toml::table* main = TableAt(root, "main", error)) {
        TableReader in(*main, "main", error);
        table.Main.Screen = in.Text("screen");
        table.Main.Place = in.Text("place");
        table.Main.Menu = in.MenuBox("box");
        table.Main.Colours = in.Colours();
        table.Main.ScreenPause = in.ScreenPause("pause");
        table.Main.ExitLabel = in.Text("exit_label");
        const std::vector<int> m = in.Numbers("message", 3, 80);
        table.Main.MessageRow = m[0];
        table.Main.MessageFirst = m[1];
        table.Main.MessageLast = m[2];
        in.RefuseUnknownKeys();
    }
    if (const toml::array* sections = root.get_as<toml::array>("section")) {
        for (const toml::node& node : *sections)
            if (const toml::table* t = node.as_table()) table.Sections.push_back(ReadSection(*t, table.Sections.size(), error));
    }
    if (const toml::table* tracks = TableAt(root, "tracks", error)) table.Tracks = ReadOverlay(*tracks, "tracks", error);
    if (const toml::table* back = TableAt(root, "back_issues", error))
        table.BackIssues = ReadOverlay(*back, "back_issues", error);
    for (auto&& [key, node] : root) {
        const std::string k(key.str());
        if (k != "screens" && k != "main" && k != "section" && k != "tracks" && k != "back_issues" && error.empty())
            error = "sections.toml:" + std::to_string(LineOf(node)) + ": unknown table " + k;
    }
    // The main menu's box holds every section and, last, its exit entry.
    if (error.empty() && table.Sections.size() + 1 > static_cast<std::size_t>(table.Main.Menu.Rows))
        error = "sections.toml: the main menu's box has room for " + std::to_string(table.Main.Menu.Rows) +
                " entries, but there are " + std::to_string(table.Sections.size()) + " sections and the exit entry";
    std::set<std::string> keys;
    for (const Section& s : table.Sections)
        if (error.empty() && !keys.insert(s.Key).second) error = "sections.toml: two sections have the key " + s.Key;
    return error.empty();
}

const SectionTable& Sections() {
    static const SectionTable table = [] {
        SectionTable t;
        std::string error;
        if (!ReadSectionTable(SectionTableText(), t, error)) {
            // The table is the program's own: a fault is the build's, caught
            // by its tests before it ever ships.
            std::fprintf(stderr, "quixmag: the built-in %s\n", error.c_str());
            std::abort();
        }
        return t;
    }();
    return table;
}

}  // namespace issue
