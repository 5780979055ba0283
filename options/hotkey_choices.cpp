#include "options/hotkey_choices.h"

namespace lum {

std::vector<HotkeyChoice> hotkeyChoices(bool withNone)
{
    std::vector<HotkeyChoice> choices;
    for (int c = 'A'; c <= 'Z'; ++c)
        choices.push_back({QStringLiteral("Ctrl+") + QChar(char16_t(c)), qint16(c)});
    for (int f = 1; f <= 16; ++f)
        choices.push_back({QStringLiteral("Ctrl+F%1 キー").arg(f), qint16(111 + f)});
    for (int f = 1; f <= 16; ++f)
        choices.push_back({QStringLiteral("Shift+F%1 キー").arg(f), qint16(211 + f)});
    if (withNone)
        choices.push_back({QStringLiteral("無し"), 0});
    return choices;
}

bool hotkeysConflict(const std::array<qint16, 6> &codes)
{
    for (size_t i = 0; i < codes.size(); ++i)
        for (size_t j = i + 1; j < codes.size(); ++j)
            if (codes[i] != 0 && codes[i] == codes[j])
                return true;
    return false;
}

} // namespace lum
