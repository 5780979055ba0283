#pragma once
// The stored form of a password: one decimal number per character, each followed by a blank.
// The number is the character's code page 932 code read as a signed 16-bit value: a
// single-byte character gives 0..255, a double-byte one lead * 256 + trail, negative when
// the lead byte is 0x80 or above ("abc" -> "97 98 99 ", the bytes 0x82 0xA0 -> "-32096 ").
//
// A character without a code page 932 code (é, emoji) is stored as 65536 + its Unicode code
// point, a number above the 16-bit range: readers that know only code page codes skip such
// a field, while this reader restores the character. Every password a user can type
// therefore round-trips, and stores written with Shift_JIS codes read back unchanged.
//
// This is an encoding, not a protection: anyone who can read the store can read the password.

#include <QString>

namespace lum {

QString scramblePassword(const QString &password);

// Reads the fields up to the last blank; a field that is empty, not a decimal integer, or
// names no character is skipped; text after the last blank is ignored.
QString unscramblePassword(const QString &stored);

// The password of a "Passw" value as the store reads it. The store's own values end with
// their blank (written quoted), but Qt's INI reader drops the trailing blanks of an
// unquoted value, so a hand-edited `Passw1=97 98 99 ` reads as "97 98 99": a value whose
// last field is a whole number gets its blank back and keeps its last character ("abc").
// The value "0", an empty password as stored, stays the empty password.
QString storedPassword(const QString &stored);

} // namespace lum
