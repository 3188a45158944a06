// Queues keys on the memory console from a short script: plain characters
// are typed, names in angle brackets press keys, e.g. "ab<Left><Enter>";
// "<Paste:text>" pastes the text.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "console/con_memory.h"
#include "console/conapi.h"
#include "console/term_keys.h"

// Queues what a terminal sends when Text is pasted into it (bracketed
// paste), decoded as the terminal back-end decodes it.
inline void QueuePaste(const std::string& text, uint32_t atMs = 0) {
    termkeys::Decoder decoder;
    std::vector<conapi::InputRecord> records;
    decoder.Feed("\x1b[200~" + text + "\x1b[201~", records);
    decoder.Expire(records);
    for (const auto& rec : records) memcon::PushEvent(rec, atMs);
}

inline void QueueKeys(const std::string& script, uint32_t atMs = 0) {
    static const std::map<std::string, uint16_t> extended = {{"Up", 72},    {"Down", 80}, {"Left", 75},
                                                             {"Right", 77}, {"Home", 71}, {"End", 79},
                                                             {"PgUp", 73},  {"PgDn", 81}, {"Del", 83}};
    for (std::size_t i = 0; i < script.size(); ++i) {
        const std::size_t close = script[i] == '<' ? script.find('>', i) : std::string::npos;
        if (close == std::string::npos) {
            memcon::TypeText(std::string(1, script[i]), atMs);
            continue;
        }
        std::string name = script.substr(i + 1, close - i - 1);
        i = close;
        if (name.rfind("Paste:", 0) == 0) {
            QueuePaste(name.substr(6), atMs);
            continue;
        }
        uint32_t state = 0;
        if (name.rfind("C-", 0) == 0) {
            state = conapi::LeftCtrlPressed;
            name = name.substr(2);
        }
        if (extended.count(name))
            memcon::PressExtended(extended.at(name), state, atMs);
        else if (state != 0 && name.size() == 1)
            memcon::PressCtrl(name[0], atMs);
        else if (name == "Enter")
            memcon::PressEnter(atMs);
        else if (name == "Esc")
            memcon::PressEsc(atMs);
        else if (name == "BS")
            memcon::PressBackspace(atMs);
        else if (name == "F10")
            memcon::PressFunction(10, 0, atMs);
        else
            ADD_FAILURE() << "unknown key <" << name << "> in a key script";
    }
}
