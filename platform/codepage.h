#pragma once
// Japanese code page 932 (Shift_JIS with the NEC and IBM extensions), both ways.
//
// Bytes on the wire and in the decoders are "byte strings": QByteArray, one byte per element.
// Text shown to the user is QString.
//
// Nothing here fails: input that the code page cannot express is replaced, never dropped,
// so a conversion never truncates silently.
//   - bytes -> text: every byte that does not start a valid code page 932 character
//     (0x80, 0xA0, 0xFD..0xFF, a lead byte without a valid trail byte, a lone lead byte at
//     the end) becomes U+FFFD REPLACEMENT CHARACTER, one per byte, and decoding goes on
//     with the next byte.
//   - text -> bytes: every character that has no code page 932 code (é, emoji, a lone
//     surrogate) becomes "?" (0x3F), one per character.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <optional>

namespace lum {

QString decodeCp932(QByteArrayView bytes);
QByteArray encodeCp932(QStringView text);

// The code of one character as a 16-bit value: a single-byte character gives its byte
// (0..255), a double-byte one lead * 256 + trail. Empty when the character has no code,
// or when its code does not read back as the same character (glibc maps U+00A5 to 0x5C,
// which reads back as "\").
std::optional<quint16> cp932Code(char32_t ch);

// The character that a 16-bit code names (codes below 256 are single bytes), or empty
// when the code names no character.
std::optional<char32_t> cp932Char(quint16 code);

} // namespace lum
