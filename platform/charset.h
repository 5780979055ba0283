#pragma once
// Bytes in a named charset (a MIME charset parameter) to text, for every charset iconv
// knows. Names are matched without regard to case; Shift_JIS and its aliases read as code
// page 932, as everywhere in Lumora.

#include <QByteArrayView>
#include <QString>
#include <optional>

namespace lum {

enum class CharsetErrors {
    Fail,    // bytes that don't decode make the whole conversion fail
    Replace, // each byte that doesn't decode becomes U+FFFD and decoding goes on
};

// Empty when the charset is unknown (or its name is not a plausible charset name), or with
// CharsetErrors::Fail when the bytes don't decode.
std::optional<QString> decodeCharset(QByteArrayView bytes, QByteArrayView charset,
                                     CharsetErrors errors);

} // namespace lum
