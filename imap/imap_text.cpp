#include "imap/imap_text.h"

#include "decode/base64_value.h"
#include "imap/response_reader.h"

#include <QList>

#include <algorithm>

namespace lum {

namespace {

bool printableAscii(char16_t c)
{
    return c >= 0x20 && c <= 0x7e;
}

// The UTF-16 code units of one encoded run (between "&" and "-"), or null when it is not
// what an encoder makes of some non-printable characters.
std::optional<QString> decodeRun(QByteArrayView run)
{
    QByteArray bytes;
    quint32 bits = 0;
    int held = 0;
    for (char c : run) {
        const int v = base64Value(c, ',');
        if (v < 0)
            return std::nullopt;
        bits = (bits << 6) | quint32(v);
        held += 6;
        if (held >= 8) {
            held -= 8;
            bytes.append(char((bits >> held) & 0xff));
            bits &= (1u << held) - 1;
        }
    }
    if (held >= 6 || bits != 0 || bytes.size() % 2 != 0)
        return std::nullopt;
    QString text;
    for (qsizetype i = 0; i < bytes.size(); i += 2) {
        const char16_t unit = char16_t((uchar(bytes[i]) << 8) | uchar(bytes[i + 1]));
        if (printableAscii(unit))
            return std::nullopt;
        text.append(QChar(unit));
    }
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        else if (text[i].isSurrogate())
            return std::nullopt;
    }
    return text;
}

std::optional<quint32> uidNumber(QByteArrayView digits)
{
    if (digits.isEmpty() || digits.size() > 10 || !std::all_of(digits.begin(), digits.end(), [](char c) {
            return c >= '0' && c <= '9';
        }))
        return std::nullopt;
    const quint64 n = digits.toULongLong();
    if (n == 0 || n > 0xffffffffu)
        return std::nullopt;
    return quint32(n);
}

void sortUnique(std::vector<quint32> &uids)
{
    std::sort(uids.begin(), uids.end());
    uids.erase(std::unique(uids.begin(), uids.end()), uids.end());
}

// "UID ALL 1:5" and the other result items of an ESEARCH response (RFC 4731 §3.1).
std::optional<std::vector<quint32>> esearchUids(const std::vector<ImapValue> &values, qsizetype maxUids)
{
    size_t i = 0;
    if (i < values.size() && values[i].isList())
        ++i; // (TAG "a1")
    if (i == values.size() || !values[i].isAtom("UID"))
        return std::nullopt;
    ++i;
    if ((values.size() - i) % 2 != 0)
        return std::nullopt;
    std::vector<quint32> uids;
    for (; i < values.size(); i += 2) {
        if (!values[i].isAtom("ALL"))
            continue;
        const ImapValue &set = values[i + 1];
        if (set.kind != ImapValue::Kind::Atom && set.kind != ImapValue::Kind::Number)
            return std::nullopt;
        std::optional<std::vector<quint32>> some = parseUidSet(set.text, maxUids - qsizetype(uids.size()));
        if (!some)
            return std::nullopt;
        uids.insert(uids.end(), some->begin(), some->end());
    }
    sortUnique(uids);
    return uids;
}

} // namespace

QByteArray encodeMailboxName(const QString &name)
{
    QByteArray out;
    const qsizetype n = name.size();
    for (qsizetype i = 0; i < n;) {
        const char16_t c = name[i].unicode();
        if (printableAscii(c)) {
            out.append(c == '&' ? QByteArrayView("&-") : QByteArrayView(QByteArray(1, char(c))));
            ++i;
            continue;
        }
        QByteArray utf16be;
        for (; i < n && !printableAscii(name[i].unicode()); ++i)
            utf16be.append(char(name[i].unicode() >> 8)).append(char(name[i].unicode() & 0xff));
        out.append('&')
            .append(utf16be.toBase64(QByteArray::Base64Encoding | QByteArray::OmitTrailingEquals).replace('/', ','))
            .append('-');
    }
    return out;
}

std::optional<QString> decodeMailboxName(QByteArrayView wire)
{
    QString out;
    bool afterRun = false;
    for (qsizetype i = 0; i < wire.size();) {
        const char c = wire[i];
        if (!printableAscii(uchar(c)))
            return std::nullopt;
        if (c != '&') {
            out.append(QLatin1Char(c));
            afterRun = false;
            ++i;
            continue;
        }
        const qsizetype dash = wire.indexOf('-', i + 1);
        if (dash < 0)
            return std::nullopt;
        if (dash == i + 1) {
            out.append(QLatin1Char('&'));
            afterRun = false;
        } else {
            std::optional<QString> run = decodeRun(wire.sliced(i + 1, dash - i - 1));
            if (!run || afterRun)
                return std::nullopt;
            out.append(*run);
            afterRun = true;
        }
        i = dash + 1;
    }
    return out;
}

std::optional<ImapString> astring(QByteArrayView value, LiteralMode mode)
{
    bool quotable = true;
    for (char c : value) {
        if (c == '\r' || c == '\n' || c == '\0')
            return std::nullopt;
        if (!printableAscii(uchar(c)) || c == '"' || c == '\\')
            quotable = false;
    }
    ImapString s;
    if (quotable) {
        s.head = '"' + value.toByteArray() + '"';
        return s;
    }
    const bool plus = mode == LiteralMode::Plus || (mode == LiteralMode::Minus && value.size() <= 4096);
    s.head = '{' + QByteArray::number(value.size()) + (plus ? "+}\r\n" : "}\r\n");
    s.literal = value.toByteArray();
    s.isLiteral = true;
    s.waitForContinuation = !plus;
    return s;
}

std::optional<std::vector<QByteArray>> loginCommand(QByteArrayView tag, QByteArrayView user, QByteArrayView password,
                                                    LiteralMode mode)
{
    const std::optional<ImapString> u = astring(user, mode);
    const std::optional<ImapString> p = astring(password, mode);
    if (!u || !p)
        return std::nullopt;
    std::vector<QByteArray> parts{tag.toByteArray() + " LOGIN "};
    for (const ImapString *s : {&*u, &*p}) {
        parts.back().append(s->head);
        if (s->waitForContinuation)
            parts.push_back(s->literal);
        else
            parts.back().append(s->literal);
        parts.back().append(s == &*u ? " " : "\r\n");
    }
    return parts;
}

QByteArray uidSet(std::vector<quint32> uids)
{
    sortUnique(uids);
    QByteArray out;
    for (size_t i = uids.empty() || uids[0] != 0 ? 0 : 1; i < uids.size();) {
        size_t last = i;
        while (last + 1 < uids.size() && uids[last + 1] == uids[last] + 1)
            ++last;
        if (!out.isEmpty())
            out.append(',');
        out.append(QByteArray::number(uids[i]));
        if (last > i)
            out.append(':').append(QByteArray::number(uids[last]));
        i = last + 1;
    }
    return out;
}

std::optional<std::vector<quint32>> parseUidSet(QByteArrayView set, qsizetype maxUids)
{
    std::vector<quint32> uids;
    qsizetype named = 0;
    for (QByteArrayView item : set.toByteArray().split(',')) {
        const qsizetype colon = item.indexOf(':');
        const std::optional<quint32> a = uidNumber(colon < 0 ? item : item.first(colon));
        const std::optional<quint32> b = colon < 0 ? a : uidNumber(item.sliced(colon + 1));
        if (!a || !b)
            return std::nullopt;
        const quint32 low = std::min(*a, *b);
        const quint32 high = std::max(*a, *b);
        named += qsizetype(high - low) + 1;
        if (named > maxUids)
            return std::nullopt;
        for (quint64 uid = low; uid <= high; ++uid)
            uids.push_back(quint32(uid));
    }
    sortUnique(uids);
    return uids;
}

std::optional<std::vector<quint32>> searchUids(const ImapResponse &response, qsizetype maxUids)
{
    if (response.kind != ImapResponse::Kind::Data)
        return std::nullopt;
    if (response.name == "ESEARCH")
        return esearchUids(response.values, maxUids);
    if (response.name != "SEARCH" || qsizetype(response.values.size()) > maxUids + 1)
        return std::nullopt;
    std::vector<quint32> uids;
    for (size_t i = 0; i < response.values.size(); ++i) {
        const ImapValue &v = response.values[i];
        if (v.isList() && i + 1 == response.values.size())
            break; // (MODSEQ 917162500), RFC 7162 §3.1.5
        const std::optional<quint32> uid = v.isNumber() ? uidNumber(v.text) : std::nullopt;
        if (!uid)
            return std::nullopt;
        uids.push_back(*uid);
    }
    if (qsizetype(uids.size()) > maxUids)
        return std::nullopt;
    sortUnique(uids);
    return uids;
}

} // namespace lum
