#include "decode/jis.h"

#include "decode/encoded_words.h"
#include "decode/text_search.h"
#include "platform/codepage.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace lum {
namespace {

constexpr qsizetype kEscapeLength = 3;

constexpr int kRows = 94;
constexpr int kCells = 95; // cell 0 exists on even rows (trail byte 0x9E)

// Unicode of every row and cell, read once through code page 932 (0 = out of range).
class PairTable {
public:
    PairTable()
    {
        for (int row = 1; row <= kRows; ++row) {
            for (int cell = 0; cell < kCells; ++cell) {
                const quint16 code = jisPairSjisCode(uchar(row + 0x20), uchar(cell + 0x20));
                char16_t ch = 0;
                if (code != 0) {
                    const std::optional<char32_t> c = cp932Char(code);
                    ch = c && *c <= 0xFFFF && *c != 0 ? char16_t(*c) : char16_t(0xFFFD);
                }
                table_[size_t((row - 1) * kCells + cell)] = ch;
            }
        }
    }
    char16_t at(int row, int cell) const { return table_[size_t((row - 1) * kCells + cell)]; }

private:
    std::array<char16_t, size_t(kRows * kCells)> table_{};
};

const PairTable &pairTable()
{
    static const PairTable table;
    return table;
}

// What decodeCp932 makes of each byte on its own, read once; a byte that does not give
// exactly one UTF-16 unit is marked and goes through decodeCp932 when met.
class ByteTable {
public:
    ByteTable()
    {
        for (int b = 0; b < 256; ++b) {
            const char c = char(b);
            const QString text = decodeCp932(QByteArrayView(&c, 1));
            single_[size_t(b)] = text.size() == 1;
            unit_[size_t(b)] = text.size() == 1 ? text.at(0).unicode() : char16_t(0);
        }
    }
    bool single(uchar b) const { return single_[b]; }
    char16_t at(uchar b) const { return unit_[b]; }

private:
    std::array<char16_t, 256> unit_{};
    std::array<bool, 256> single_{};
};

const ByteTable &byteTable()
{
    static const ByteTable table;
    return table;
}

bool isLeadByte(uchar c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

bool isTrailByte(uchar c)
{
    return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC);
}

bool holdsDoubleByte(QByteArrayView bytes)
{
    // Lead bytes have the high bit set; text without one (all real ISO-2022-JP) is told by
    // a loop the compiler can run on many bytes at a time.
    uchar high = 0;
    for (const char c : bytes)
        high |= uchar(c);
    if (!(high & 0x80))
        return false;
    for (qsizetype i = 0; i + 1 < bytes.size(); ++i) {
        if (isLeadByte(uchar(bytes[i]))) {
            if (isTrailByte(uchar(bytes[i + 1])))
                return true;
        }
    }
    return false;
}

// The converted text, written straight into one buffer: a message body is megabytes of
// pairs, and a string per character would dominate the time.
class TextBuffer {
public:
    explicit TextBuffer(qsizetype expected) { text_.resize(std::max<qsizetype>(expected, 16)); }

    void put(char16_t c)
    {
        reserve(1);
        data_()[size_++] = c;
    }

    // One byte as decodeCp932 reads it alone.
    void putByte(uchar b)
    {
        const ByteTable &bytes = byteTable();
        if (bytes.single(b))
            put(bytes.at(b));
        else
            putText(decodeCp932(QByteArrayView(reinterpret_cast<const char *>(&b), 1)));
    }

    void putText(QStringView text)
    {
        reserve(text.size());
        std::copy(text.begin(), text.end(), reinterpret_cast<QChar *>(data_() + size_));
        size_ += text.size();
    }

    // Code page 932 bytes. ASCII runs (all of a JIS body outside its segments) are read by
    // table; anything else goes through decodeCp932 whole, so that its double-byte
    // characters and its replacement of broken ones stay exactly as there.
    void putCp932(QByteArrayView bytes)
    {
        const char *p = bytes.data();
        const qsizetype n = bytes.size();
        const ByteTable &table = byteTable();
        bool ascii = true;
        for (qsizetype i = 0; i < n && ascii; ++i)
            ascii = uchar(p[i]) < 0x80 && table.single(uchar(p[i]));
        if (!ascii) {
            putText(decodeCp932(bytes));
            return;
        }
        reserve(n);
        char16_t *d = data_() + size_;
        for (qsizetype i = 0; i < n; ++i)
            d[i] = table.at(uchar(p[i]));
        size_ += n;
    }

    QString take() &&
    {
        text_.truncate(size_);
        if (size_ < text_.capacity() / 2)
            text_.squeeze(); // the estimate was far too big; don't keep it for the record's life
        return std::move(text_);
    }

private:
    char16_t *data_() { return reinterpret_cast<char16_t *>(text_.data()); }
    void reserve(qsizetype extra)
    {
        if (size_ + extra > text_.size())
            text_.resize(std::max(text_.size() * 2, size_ + extra));
    }

    QString text_;
    qsizetype size_ = 0;
};

// Whether the bytes hold "=?", with which every encoded word starts. Pairs hold "=" often
// (0x3D is a byte of many kanji), the two together hardly ever.
bool holdsWordStart(QByteArrayView bytes)
{
    const char *p = bytes.data();
    const qsizetype n = bytes.size();
    for (qsizetype from = 0; from + 1 < n;) {
        const void *eq = std::memchr(p + from, '=', size_t(n - 1 - from));
        if (!eq)
            return false;
        const qsizetype at = static_cast<const char *>(eq) - p;
        if (p[at + 1] == '?')
            return true;
        from = at + 1;
    }
    return false;
}

// First escape ESC second third at or after from (third in either case), or -1. The same
// as findCi for a three-byte escape, whose ESC occurs only at its start; one memchr per
// escape instead of a search set up anew for every segment.
qsizetype findEscape(QByteArrayView text, qsizetype from, char second, char third)
{
    const char *p = text.data();
    const qsizetype n = text.size();
    while (from < n) {
        const void *esc = std::memchr(p + from, '\x1b', size_t(n - from));
        if (!esc)
            return -1;
        const qsizetype at = static_cast<const char *>(esc) - p;
        if (at + 2 < n && p[at + 1] == second && (p[at + 2] == third || p[at + 2] == third - 0x20))
            return at;
        from = at + 1;
    }
    return -1;
}

std::optional<QString> jisToText(QByteArrayView text, char closerFinal)
{
    // Never more characters than bytes: a pair gives at most two, a byte at most one.
    TextBuffer acc(text.size());
    const PairTable &pairs = pairTable();
    qsizetype pos = 0;
    for (;;) {
        const qsizetype opener = findEscape(text, pos, '$', 'b');
        if (opener < 0)
            break;
        const qsizetype close = findEscape(text, opener + kEscapeLength, '(', closerFinal);
        if (close < 0)
            break;
        const qsizetype end = close + kEscapeLength;
        acc.putCp932(text.sliced(pos, opener - pos));
        QByteArrayView segment = text.sliced(opener, end - opener);
        // A segment with an encoded word in it is decoded first; any other comes back
        // from DecodeBWord as it is, so it is read in place.
        QByteArray decoded;
        if (holdsWordStart(segment) && findCi(segment, kWordOpener) >= 0) {
            decoded = DecodeBWord(segment.toByteArray());
            segment = decoded;
        }
        const qsizetype pairsEnd = segment.size() - kEscapeLength;
        if (pairsEnd > kEscapeLength
            && holdsDoubleByte(segment.sliced(kEscapeLength, pairsEnd - kEscapeLength)))
            return std::nullopt;
        const uchar *bytes = reinterpret_cast<const uchar *>(segment.data());
        for (qsizetype i = kEscapeLength; i + 1 < pairsEnd; i += 2) {
            const uchar c1 = bytes[i];
            const uchar c2 = bytes[i + 1];
            if (c1 < 0x20 || c2 < 0x20) {
                acc.putByte(c1);
                acc.putByte(c2);
            } else if (c1 > 0x20 && c1 <= 0x20 + kRows && c2 <= 0x20 + kRows) {
                // The table holds 0 exactly where jisPairSjisCode has no code.
                if (const char16_t ch = pairs.at(c1 - 0x20, c2 - 0x20))
                    acc.put(ch);
            }
        }
        pos = end;
    }
    acc.putCp932(text.sliced(pos));
    return std::move(acc).take();
}

} // namespace

QByteArray FilterNul(const QByteArray &text)
{
    QByteArray out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c != '\0')
            out.append(c);
    }
    return out;
}

quint16 jisPairSjisCode(uchar c1, uchar c2)
{
    if (c1 < 0x20 || c2 < 0x20)
        return 0;
    const int row = c1 - 0x20;
    int cell = c2 - 0x20;
    if (row < 1 || row > kRows || cell > kRows)
        return 0;
    if (row % 2 == 0)
        cell += kRows;
    const int t = (row - 1) / 2;
    const int lead = t <= 30 ? t + 0x81 : t + 0xC1;
    int trail;
    if (cell >= 1 && cell <= 63)
        trail = cell + 0x3F;
    else if (cell >= 64 && cell <= 188)
        trail = cell + 0x40;
    else
        return 0;
    return quint16(lead << 8 | trail);
}

QString JisPairToSjis(uchar c1, uchar c2)
{
    if (c1 < 0x20 || c2 < 0x20) {
        QString both = decodeCp932(QByteArrayView(reinterpret_cast<const char *>(&c1), 1));
        both += decodeCp932(QByteArrayView(reinterpret_cast<const char *>(&c2), 1));
        return both;
    }
    const int row = c1 - 0x20;
    const int cell = c2 - 0x20;
    if (jisPairSjisCode(c1, c2) == 0)
        return {};
    return QString(QChar(pairTable().at(row, cell)));
}

std::optional<QString> JisToTextB(const QByteArray &text)
{
    return jisToText(text, 'b');
}

std::optional<QString> JisToTextJ(const QByteArray &text)
{
    return jisToText(text, 'j');
}

} // namespace lum
