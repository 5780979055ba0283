#pragma once
// Windows virtual-key numbers, as the stored hotkey codes carry them, turned into X keysyms.

#include <QtGlobal>

namespace lum {

// The X keysym of a virtual key, 0 for a key X has no keysym for. Letters give the lower
// case keysym; the keypad keys their KP_ keysyms (KP_0 for the keypad 0, which X sends with
// Num Lock on); the punctuation keys the character they type on US and Japanese keyboards
// alike (VK_OEM_1 is ':', on the US ';:' key and on the Japanese ':*' key).
quint32 keysymForVirtualKey(int virtualKey);

} // namespace lum
