#include "decode/jis.h"

#include "decode/encoded_words.h"
#include "decode/text_search.h"
#include "platform/codepage.h"

#include <array>

namespace lum {
namespace {

constexpr QByteArrayView kSegmentOpener = "\x1b$B";
constexpr QByteArrayView kCloserB = "\x1b(B";
constexpr QByteArrayView kCloserJ = "\x1b(J";
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
    for (qsizetype i = 0; i + 1 < bytes.size(); ++i) {
        if (isLeadByte(uchar(bytes[i]))) {
            if (isTrailByte(uchar(bytes[i + 1])))
                return true;
        }
    }
    return false;
}

std::optional<QString> jisToText(const QByteArray &text, QByteArrayView closer)
{
    QString acc;
    acc.reserve(text.size());
    const QByteArrayView view(text);
    qsizetype pos = 0;
    for (;;) {
        const qsizetype opener = findCi(text, kSegmentOpener, pos);
        if (opener < 0)
            break;
        const qsizetype close = findCi(text, closer, opener + kEscapeLength);
        if (close < 0)
            break;
        const qsizetype end = close + kEscapeLength;
        acc += decodeCp932(view.sliced(pos, opener - pos));
        const QByteArray segment = DecodeBWord(text.sliced(opener, end - opener));
        const qsizetype pairsEnd = segment.size() - kEscapeLength;
        if (pairsEnd > kEscapeLength
            && holdsDoubleByte(QByteArrayView(segment).sliced(kEscapeLength, pairsEnd - kEscapeLength)))
            return std::nullopt;
        for (qsizetype i = kEscapeLength; i + 1 < pairsEnd; i += 2)
            acc += JisPairToSjis(uchar(segment[i]), uchar(segment[i + 1]));
        pos = end;
    }
    acc += decodeCp932(view.sliced(pos));
    return acc;
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
    return jisToText(text, kCloserB);
}

std::optional<QString> JisToTextJ(const QByteArray &text)
{
    return jisToText(text, kCloserJ);
}

} // namespace lum
