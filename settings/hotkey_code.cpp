#include "settings/hotkey_code.h"

namespace lum {

HotkeyBinding decodeHotkey(qint16 code)
{
    if (code <= 0)
        return {};
    if (code <= 90)
        return {HotkeyModifier::Control, code, QStringLiteral("Ctrl+") + QChar(char16_t(code))};
    if (code <= 199)
        return {HotkeyModifier::Control, code, QStringLiteral("Ctrl+F") + QString::number(code - 111)};
    return {HotkeyModifier::Shift, code - 100, QStringLiteral("Shift+F") + QString::number(code - 211)};
}

} // namespace lum
