#include "decode/modern_text.h"

#include "decode/base64_value.h"
#include "decode/decode_field.h"
#include "platform/charset.h"
#include "platform/codepage.h"

#include <QStringDecoder>
#include <optional>

namespace lum {

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

bool isJis(QByteArrayView charset)
{
    return charset.size() >= 11 && QByteArrayView(charset.first(11)).compare("iso-2022-jp", Qt::CaseInsensitive) == 0;
}

enum class Base64 { Strict, Lenient };

// Strict: only the alphabet and a trailing "=" (an encoded word). Lenient: anything outside
// the alphabet is skipped (a body with line breaks, or damaged).
std::optional<QByteArray> base64(QByteArrayView text, Base64 mode)
{
    QByteArray out;
    out.reserve(text.size() * 3 / 4);
    quint32 acc = 0;
    int bits = 0;
    bool padding = false;
    for (char c : text) {
        const int v = base64Value(c);
        if (mode == Base64::Strict && (c == '=' || padding)) {
            if (c != '=')
                return std::nullopt;
            padding = true;
            continue;
        }
        if (v < 0) {
            if (mode == Base64::Strict)
                return std::nullopt;
            continue;
        }
        acc = (acc << 6) | quint32(v);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += char((acc >> bits) & 0xFF);
        }
    }
    return out;
}

QByteArray wordQ(QByteArrayView text)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '_') {
            out += ' ';
        } else if (c == '=' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
            out += char(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

// The next place of a needle at or after a position. Searches of a header go forward; the
// answer of the last search serves every later one that starts before it, so scanning a
// value with thousands of unfinished words stays linear.
class NextFinder {
public:
    NextFinder(QByteArrayView text, QByteArrayView needle) : text_(text), needle_(needle) {}
    qsizetype from(qsizetype pos)
    {
        if (pos < searchedFrom_ || (found_ >= 0 && pos > found_) || searchedFrom_ < 0) {
            searchedFrom_ = pos;
            found_ = text_.indexOf(needle_, pos);
        }
        if (found_ < 0)
            return -1;
        return found_;
    }

private:
    QByteArrayView text_;
    QByteArrayView needle_;
    qsizetype searchedFrom_ = -1;
    qsizetype found_ = -1;
};

// One encoded word starting at value[pos] ("=?"): its decoded text and its end, or empty.
struct Word {
    QString text;
    qsizetype end;
};

struct WordScanner {
    QByteArrayView v;
    NextFinder closes{v, "?="};
    NextFinder spaces{v, " "};
    NextFinder tabs{v, "\t"};

    // =?charset?e?text?=, no white space inside, a charset name of a sensible length.
    std::optional<Word> at(qsizetype pos)
    {
        constexpr qsizetype maxCharset = 64;
        const QByteArrayView head = v.sliced(pos + 2, std::min(maxCharset, v.size() - pos - 2));
        const qsizetype q = head.indexOf('?');
        if (q < 0)
            return std::nullopt;
        const qsizetype q1 = pos + 2 + q;
        if (q1 + 2 >= v.size() || v[q1 + 2] != '?')
            return std::nullopt;
        const qsizetype close = closes.from(q1 + 3);
        if (close < 0)
            return std::nullopt;
        for (NextFinder *blank : {&spaces, &tabs}) {
            const qsizetype b = blank->from(q1 + 3);
            if (b >= 0 && b < close)
                return std::nullopt;
        }
        const QByteArrayView body = v.sliced(q1 + 3, close - q1 - 3);
        QByteArrayView charset = v.sliced(pos + 2, q1 - pos - 2);
        if (const qsizetype star = charset.indexOf('*'); star >= 0)
            charset = charset.first(star); // RFC 2231 language
        const char enc = v[q1 + 1];
        std::optional<QByteArray> bytes;
        if (enc == 'B' || enc == 'b')
            bytes = base64(body, Base64::Strict);
        else if (enc == 'Q' || enc == 'q')
            bytes = wordQ(body);
        if (!bytes)
            return std::nullopt;
        std::optional<QString> text;
        if (isJis(charset))
            text = DecodeField(*bytes, false, false);
        else
            text = decodeCharset(*bytes, charset, CharsetErrors::Fail);
        if (!text)
            return std::nullopt;
        return Word{*text, close + 2};
    }
};

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

QString plainText(QByteArrayView bytes)
{
    bool ascii = true;
    for (char c : bytes) {
        if (uchar(c) >= 0x80 || c == 0x1B) {
            ascii = false;
            break;
        }
    }
    if (ascii)
        return QString::fromLatin1(bytes);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError() && !bytes.contains('\x1b'))
        return text;
    return DecodeField(bytes, false, false); // JIS escapes, else code page 932
}

} // namespace

QString textInCharset(QByteArrayView bytes, QByteArrayView charset)
{
    QString text;
    if (isJis(charset)) {
        text = DecodeField(bytes, false, false);
    } else if (std::optional<QString> t = decodeCharset(bytes, charset, CharsetErrors::Replace)) {
        text = *t;
    } else {
        text = plainText(bytes);
    }
    text.remove(QChar(0));
    return text;
}

QString decodeHeaderText(QByteArrayView raw)
{
    // Unfold: CR LF (or a bare LF) before white space goes, the white space stays.
    QByteArray v;
    v.reserve(raw.size());
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '\r' || c == '\n')
            continue;
        v += c;
    }
    QString out;
    QByteArray pending;        // plain bytes not yet converted
    qsizetype blanksAfterWord = -1; // where blanks after the last word began in pending
    const auto flushPlain = [&] {
        out += plainText(pending);
        pending.clear();
    };
    WordScanner words{v};
    qsizetype i = 0;
    while (i < v.size()) {
        if (v[i] == '=' && i + 1 < v.size() && v[i + 1] == '?') {
            if (std::optional<Word> w = words.at(i)) {
                if (blanksAfterWord >= 0)
                    pending.truncate(blanksAfterWord); // only blanks between two words
                flushPlain();
                out += w->text;
                i = w->end;
                blanksAfterWord = 0;
                continue;
            }
        }
        if (blanksAfterWord >= 0 && !isBlank(v[i]))
            blanksAfterWord = -1;
        pending += v[i++];
    }
    flushPlain();
    out.remove(QChar(0));
    return out;
}

QByteArray decodeBase64Lenient(QByteArrayView text)
{
    return *base64(text, Base64::Lenient);
}

QByteArray decodeQuotedPrintable(QByteArrayView text)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '=') {
            out += c;
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == '\n') {
            i += 1; // soft line break
        } else if (i + 2 < text.size() && text[i + 1] == '\r' && text[i + 2] == '\n') {
            i += 2;
        } else if (i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
            out += char(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace lum
