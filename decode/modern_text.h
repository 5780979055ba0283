#pragma once
// Decoding of today's mail, used when the option to read every charset is on: RFC 2047
// encoded words in any charset with B and Q encodings, RFC 5322 unfolding, and bytes in a
// named charset. Output never holds NUL; characters outside code page 932 stay themselves.

#include <QByteArrayView>
#include <QString>

namespace lum {

// Bytes in charset to text, U+FFFD for what does not decode. ISO-2022-JP (and its
// variants) goes through the same JIS conversion as the rest of Lumora; an unknown charset
// reads as UTF-8 when the bytes are valid UTF-8, else as code page 932.
QString textInCharset(QByteArrayView bytes, QByteArrayView charset);

// A header value as received (folded lines included) to text: line breaks of folding go,
// their white space stays; encoded words are decoded, white space between two adjacent
// words goes (RFC 2047 section 6.2). A word whose charset is unknown, whose encoding is not
// B or Q, or whose bytes don't decode stays as it is. 8-bit bytes outside words read as
// UTF-8 when valid, else as code page 932 (ISO-2022-JP escapes included).
QString decodeHeaderText(QByteArrayView value);

// base64 without its line breaks; characters outside the alphabet are skipped, a last
// incomplete group gives what bytes it holds.
QByteArray decodeBase64Lenient(QByteArrayView text);
// Quoted-printable: "=" line end joins lines, =XX gives the byte, a "=" that starts
// neither stays as it is.
QByteArray decodeQuotedPrintable(QByteArrayView text);

} // namespace lum
