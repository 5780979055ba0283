#include "settings/numbers.h"

#include <limits>

namespace lum {
namespace {

// Parses [-+]?[0-9]+ and saturates at the 64-bit range (more digits than any stored number).
std::optional<qint64> toInt64Saturated(const QString &text)
{
    const QString t = text.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == u'-' || t[i] == u'+')) {
        negative = t[i] == u'-';
        ++i;
    }
    if (i == t.size())
        return std::nullopt;
    qint64 value = 0;
    constexpr qint64 cap = std::numeric_limits<qint64>::max() / 10 - 10;
    for (; i < t.size(); ++i) {
        const char16_t c = t[i].unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        if (value < cap)
            value = value * 10 + (c - u'0');
    }
    return negative ? -value : value;
}

template <typename T> std::optional<T> inRange(const QString &text)
{
    const auto v = toInt64Saturated(text);
    if (!v || *v < std::numeric_limits<T>::min() || *v > std::numeric_limits<T>::max())
        return std::nullopt;
    return T(*v);
}

} // namespace

std::optional<qint16> toInt16(const QString &text)
{
    return inRange<qint16>(text);
}

std::optional<quint16> toUInt16(const QString &text)
{
    return inRange<quint16>(text);
}

std::optional<qint32> toInt32(const QString &text)
{
    return inRange<qint32>(text);
}

std::optional<qint16> toInt16Clamped(const QString &text)
{
    const auto v = toInt64Saturated(text);
    if (!v)
        return std::nullopt;
    constexpr qint64 lo = std::numeric_limits<qint16>::min();
    constexpr qint64 hi = std::numeric_limits<qint16>::max();
    return qint16(qBound(lo, *v, hi));
}

} // namespace lum
