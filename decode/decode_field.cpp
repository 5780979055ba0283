#include "decode/decode_field.h"

#include "decode/encoded_words.h"
#include "decode/jis.h"
#include "decode/text_search.h"
#include "platform/codepage.h"

namespace lum {

QString DecodeField(const QByteArray &field, bool withWords, bool dropOldJisEscape)
{
    QByteArray text = withWords ? DecodeWords(field, dropOldJisEscape) : field;
    text = FilterNul(text);
    // Segments end with ESC ( B (ASCII) when the text has one anywhere, else with
    // ESC ( J (JIS X 0201 Roman), which older mailers send.
    const std::optional<QString> converted =
        findBytes(text, "\x1b(B") >= 0 ? JisToTextB(text) : JisToTextJ(text);
    QString shown = converted ? *converted : decodeCp932(text);
    // A base64 word inside a segment can still bring NULs; no NUL reaches the list.
    shown.remove(QChar(0));
    return shown;
}

} // namespace lum
