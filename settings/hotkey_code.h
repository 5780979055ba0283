#pragma once
// A hotkey as stored under "Hotkeynum0".."Hotkeynum5": one 16-bit code per key combination.
//   0          no hotkey
//   1..90      Ctrl + the virtual key of the same number (65..90 are the letters A..Z)
//   91..199    Ctrl + virtual key code; 112..127 are F1..F16
//   200..      Shift + virtual key code - 100; 212..227 are Shift+F1..Shift+F16
// The options program offers only 0, 65..90, 112..127 and 212..227; other codes come from a
// hand-edited store and decode by the same ranges.

#include <QString>

namespace lum {

enum class HotkeyModifier { None = 0, Control = 2, Shift = 4 };

struct HotkeyBinding {
    HotkeyModifier modifier = HotkeyModifier::None;
    int virtualKey = 0;  // Windows virtual-key number; 0 with no modifier = not registered
    QString label;       // "Ctrl+A", "Ctrl+F2", "Shift+F1"; empty for no hotkey

    bool registered() const { return modifier != HotkeyModifier::None; }
};

// Negative codes name no key combination and decode as "no hotkey".
HotkeyBinding decodeHotkey(qint16 code);

} // namespace lum
