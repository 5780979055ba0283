#pragma once
// The one decoding pipeline for header values, attachment names and bodies: MIME encoded
// words (base64 ISO-2022-JP), ISO-2022-JP text and code page 932 bytes to displayable text.
// Input is a byte string (bytes as received); output is text without NUL characters. Bytes
// outside ISO-2022-JP segments are read as code page 932.

#include <QByteArray>
#include <QString>

namespace lum {

// withWords: decode "=?ISO-2022-JP?B?...?=" words first.
// dropOldJisEscape: drop ESC $ @ inside decoded words (Subject only).
QString DecodeField(QByteArrayView field, bool withWords, bool dropOldJisEscape);

} // namespace lum
