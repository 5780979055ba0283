#include "decode/encoded_words.h"

#include "decode/base64_value.h"
#include "decode/text_search.h"

#include <algorithm>

namespace lum {
namespace {

constexpr QByteArrayView kOldJisEscape = "\x1b$@";

} // namespace

QByteArray DecodeBWord(const QByteArray &word)
{
    const qsizetype opener = findCi(word, kWordOpener);
    if (opener < 0)
        return word;
    const qsizetype start = opener + kWordOpener.size();
    const qsizetype end = findBytes(word, kWordCloser, start);
    if (end < 0)
        return word; // not a complete word

    QByteArray out = word.left(opener);
    out.reserve(opener + (end - start) / 4 * 3 + 3);
    for (qsizetype group = start; group < end; group += 4) {
        int v[4];
        bool pad[4];
        for (int k = 0; k < 4; ++k) {
            const qsizetype i = group + k;
            const bool inside = i < end;
            pad[k] = inside && word[i] == '=';
            v[k] = inside ? std::max(base64Value(word[i]), 0) : 0; // anything else counts as zero
        }
        out.append(char((v[0] * 4 + (pad[1] ? 0 : v[1] / 16)) & 0xFF));
        if (!pad[2])
            out.append(char(((v[1] % 16) * 16 + v[2] / 4) & 0xFF));
        if (!pad[3])
            out.append(char(((v[2] % 4) * 64 + v[3]) & 0xFF));
    }
    return out;
}

QByteArray DecodeWords(const QByteArray &value, bool dropOldJisEscape)
{
    QByteArray out;
    out.reserve(value.size());
    qsizetype pos = 0;
    for (;;) {
        const qsizetype opener = findCi(value, kWordOpener, pos);
        if (opener < 0)
            break;
        const qsizetype closer = findBytes(value, kWordCloser, opener + kWordOpener.size());
        if (closer < 0)
            break;
        const qsizetype end = closer + kWordCloser.size();
        out.append(QByteArrayView(value).sliced(pos, opener - pos));
        QByteArray decoded = DecodeBWord(value.sliced(opener, end - opener));
        if (dropOldJisEscape)
            decoded = removeAll(decoded, kOldJisEscape);
        out.append(decoded);
        pos = end;
    }
    out.append(QByteArrayView(value).sliced(pos));
    return out;
}

} // namespace lum
