#pragma once
// Conversions of stored text to numbers. Stored numbers are decimal integer text with an
// optional leading sign; surrounding blanks are tolerated (a hand-edited store).

#include <QString>
#include <optional>

namespace lum {

// The value when the text is a decimal integer within the range, else empty.
std::optional<qint16> toInt16(const QString &text);
std::optional<quint16> toUInt16(const QString &text);
std::optional<qint32> toInt32(const QString &text);
// A decimal integer of any size, clamped into the 16-bit range; empty when not a number.
std::optional<qint16> toInt16Clamped(const QString &text);

} // namespace lum
