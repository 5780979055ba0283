#include "decode/decode_field.h"

#include "decode/encoded_words.h"
#include "decode/jis.h"
#include "decode/text_search.h"
#include "platform/codepage.h"

#include <cstring>

namespace lum {

QString DecodeField(QByteArrayView field, bool withWords, bool dropOldJisEscape)
{
    // A body is megabytes: it is read where it lies and copied only when a step changes it.
    QByteArray changed;
    QByteArrayView text = field;
    if (withWords) {
        changed = DecodeWords(QByteArray::fromRawData(field.data(), field.size()), dropOldJisEscape);
        text = changed;
    }
    if (!text.isEmpty() && std::memchr(text.data(), 0, size_t(text.size()))) {
        changed = FilterNul(QByteArray::fromRawData(text.data(), text.size()));
        text = changed;
    }
    // Segments end with ESC ( B (ASCII) when the text has one anywhere, else with
    // ESC ( J (JIS X 0201 Roman), which older mailers send.
    const QByteArray bytes = QByteArray::fromRawData(text.data(), text.size());
    const std::optional<QString> converted =
        findBytes(text, "\x1b(B") >= 0 ? JisToTextB(bytes) : JisToTextJ(bytes);
    QString shown = converted ? *converted : decodeCp932(text);
    // A base64 word inside a segment can still bring NULs; no NUL reaches the list.
    shown.remove(QChar(0));
    return shown;
}

} // namespace lum
