#pragma once
// The entries of the six hotkey lists of the options window, each with its stored code.

#include <QString>
#include <array>
#include <vector>

namespace lum {

struct HotkeyChoice {
    QString text;
    qint16 code;
};

// "Ctrl+A".."Ctrl+Z" (65..90), "Ctrl+F1 キー".."Ctrl+F16 キー" (112..127),
// "Shift+F1 キー".."Shift+F16 キー" (212..227), then "無し" (0) when withNone:
// 59 entries with it, 58 without. The exit command's list has no "無し", so the checker can
// always be ended from the keyboard.
std::vector<HotkeyChoice> hotkeyChoices(bool withNone);

// Whether list n offers "無し".
inline bool hotkeyListHasNone(int n) { return n != 5; }

// True when two lists hold the same hotkey; several lists may hold "無し" (0).
bool hotkeysConflict(const std::array<qint16, 6> &codes);

} // namespace lum
