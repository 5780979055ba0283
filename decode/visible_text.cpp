#include "decode/visible_text.h"

namespace lum {

QString visibleText(const QString &text, bool keepLf)
{
    const auto acting = [keepLf](char16_t c) {
        return (c < 0x20 && !(keepLf && c == u'\n')) || (c >= 0x7F && c <= 0x9F)
            || (c >= 0x2028 && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
    };
    const char16_t *units = reinterpret_cast<const char16_t *>(text.constData());
    const qsizetype n = text.size();
    qsizetype i = 0;
    // A retrieved message is megabytes: blocks without such a character are passed by a
    // loop without early exit, which the compiler can run on many units at a time.
    constexpr qsizetype kBlock = 64;
    for (; i + kBlock <= n; i += kBlock) {
        bool any = false;
        for (qsizetype j = 0; j < kBlock; ++j)
            any |= acting(units[i + j]);
        if (any)
            break;
    }
    while (i < n && !acting(units[i]))
        ++i;
    if (i == text.size())
        return text;
    QString out = text;
    for (; i < out.size(); ++i) {
        const char16_t c = out[i].unicode();
        if (!acting(c))
            continue;
        out[i] = c < 0x20 ? QChar(0x2400 + c) : c == 0x7F ? QChar(0x2421) : QChar(0xFFFD);
    }
    return out;
}

} // namespace lum
