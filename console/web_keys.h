// Browser key events as PC console key records: the page hands over what a
// KeyboardEvent says (its key, its code and the modifier keys held) and gets
// back the record a PC console would report for that key (virtual-key code,
// set 1 scan code, 8-bit character, Shift/Ctrl/Alt state), so the keyboard
// object treats the browser exactly like the console.
//
// Pure: strings in, a record out. Keys the magazine has no use for (the
// modifier keys themselves, dead keys, characters outside code page 437)
// give nothing.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "console/conapi.h"

namespace webkeys {

// The modifier bits the page sends with a key.
enum Modifier : uint32_t { Shift = 1, Ctrl = 2, Alt = 4 };

// Key is KeyboardEvent.key ("a", "A", "ArrowUp", "F1", "Enter", "ä", ...),
// Code is KeyboardEvent.code ("KeyA", "Numpad8", ...), Modifiers a sum of
// Modifier bits.
std::optional<conapi::InputRecord> BrowserKey(std::string_view key, std::string_view code, uint32_t modifiers);

}  // namespace webkeys
