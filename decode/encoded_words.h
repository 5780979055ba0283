#pragma once
// MIME encoded words (RFC 2047) of the one kind Japanese mail uses in headers:
// "=?ISO-2022-JP?B?" base64 "?=". Other charsets and the Q encoding stay as they are.
// Input and output are byte strings; the decoded bytes are ISO-2022-JP, not yet text.

#include <QByteArray>
#include <QByteArrayView>

namespace lum {

inline constexpr QByteArrayView kWordOpener = "=?ISO-2022-JP?B?"; // letters in either case
inline constexpr QByteArrayView kWordCloser = "?=";

// word: plain text followed by one encoded word up to and including its "?=". Returns the
// plain text followed by the word's decoded bytes; text without an opener, or without a
// "?=" after it, comes back as it is. Base64 is read in groups of four from the payload's
// start: a missing last character counts as zero (so an unpadded payload still yields its bytes, with NULs for the missing
// bits), "=" in the third or fourth place drops the byte it would end, and a character
// outside the alphabet counts as zero.
QByteArray DecodeBWord(const QByteArray &word);

// Every complete encoded word of a header value replaced by its decoded bytes; the text
// between and around the words stays. An opener without a later "?=" (a value cut off
// inside a word) stays with all that follows it. With dropOldJisEscape every ESC $ @ is
// taken out of the decoded words (some mailers open Subject words with the old JIS escape).
QByteArray DecodeWords(const QByteArray &value, bool dropOldJisEscape);

} // namespace lum
