#pragma once
// ISO-2022-JP (RFC 1468) text to displayable text: double-byte segments opened by ESC $ B
// are JIS X 0208 pairs, turned into Shift_JIS by arithmetic and then read as code page 932,
// so the Windows mappings hold (0x21 0x41 is U+FF5E, the NEC and IBM rows are there).
// Everything outside such segments is read as code page 932 bytes.

#include <QByteArray>
#include <QString>
#include <optional>

namespace lum {

// The byte string without its NUL bytes.
QByteArray FilterNul(const QByteArray &text);

// Shift_JIS code (lead * 256 + trail) of one JIS X 0208 pair by the published transform,
// or 0 when the row (c1 - 0x20) is not 1..94 or the cell (c2 - 0x20) is above 94 or zero
// on an odd row. Both bytes must be 0x20 or above.
quint16 jisPairSjisCode(uchar c1, uchar c2);

// One JIS X 0208 pair as text: one character, or none for a row or cell out of range. A
// code that code page 932 leaves unassigned gives U+FFFD. A pair with a byte below 0x20
// (a line break inside a segment) is not a character: both bytes come back as they are.
QString JisPairToSjis(uchar c1, uchar c2);

// The text with every segment from ESC $ B (letters in either case) to the first closing
// escape after it converted; the two instances differ only in the closer, ESC ( B or
// ESC ( J (either case). An odd byte left in front of the closer is dropped; an opener with
// no closer after it stays with all that follows. Empty (failure) when a segment holds a
// double-byte code page 932 character: 8-bit text inside a JIS segment is not ISO-2022-JP,
// and the caller keeps the text unconverted.
std::optional<QString> JisToTextB(const QByteArray &text);
std::optional<QString> JisToTextJ(const QByteArray &text);

} // namespace lum
