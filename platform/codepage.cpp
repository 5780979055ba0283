#include "platform/codepage.h"

#include <QList>

#include <cerrno>
#include <iconv.h>

namespace lum {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
constexpr const char *kUtf16 = "UTF-16LE";
#else
constexpr const char *kUtf16 = "UTF-16BE";
#endif

// One conversion descriptor per direction and thread; iconv_open is far too slow to call
// for every header field.
class Converter {
public:
    Converter(const char *to, const char *from) : cd_(iconv_open(to, from)) {}
    ~Converter()
    {
        if (valid())
            iconv_close(cd_);
    }
    Converter(const Converter &) = delete;
    Converter &operator=(const Converter &) = delete;

    bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts as much as possible; returns false at the first byte that can't be converted,
    // leaving in/inLeft at that byte. Output space is grown as needed.
    bool run(char *&in, size_t &inLeft, QByteArray &out)
    {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        while (inLeft > 0) {
            const qsizetype used = out.size();
            out.resize(used + qsizetype(inLeft) * 2 + 16);
            char *dst = out.data() + used;
            size_t dstLeft = size_t(out.size() - used);
            const size_t r = iconv(cd_, &in, &inLeft, &dst, &dstLeft);
            out.resize(out.size() - qsizetype(dstLeft));
            if (r != size_t(-1))
                continue;
            if (errno == E2BIG)
                continue;
            return false; // EILSEQ or EINVAL (incomplete sequence at the end)
        }
        return true;
    }

private:
    iconv_t cd_;
};

Converter &toText()
{
    thread_local Converter c(kUtf16, "CP932");
    return c;
}

Converter &toBytes()
{
    thread_local Converter c("CP932", kUtf16);
    return c;
}

QString utf16ToString(const QByteArray &utf16)
{
    return QString(reinterpret_cast<const QChar *>(utf16.constData()), utf16.size() / 2);
}

} // namespace

QString decodeCp932(QByteArrayView bytes)
{
    QByteArray out;
    out.reserve(bytes.size() * 2);
    char *in = const_cast<char *>(bytes.data());
    size_t inLeft = size_t(bytes.size());
    Converter &c = toText();
    if (!c.valid()) // no CP932 module: keep every byte visible as Latin-1
        return QString::fromLatin1(bytes);
    while (!c.run(in, inLeft, out)) {
        const char16_t r = kReplacement;
        out.append(reinterpret_cast<const char *>(&r), 2);
        ++in;
        --inLeft;
    }
    return utf16ToString(out);
}

QByteArray encodeCp932(QStringView text)
{
    QByteArray out;
    out.reserve(text.size() * 2);
    char *in = reinterpret_cast<char *>(const_cast<QChar *>(text.data()));
    size_t inLeft = size_t(text.size()) * 2;
    Converter &c = toBytes();
    if (!c.valid())
        return text.toLatin1();
    while (!c.run(in, inLeft, out)) {
        out.append('?');
        const char16_t unit = *reinterpret_cast<const char16_t *>(in);
        const bool pair = QChar::isHighSurrogate(unit) && inLeft >= 4
            && QChar::isLowSurrogate(*reinterpret_cast<const char16_t *>(in + 2));
        const size_t skip = pair ? 4 : 2;
        in += skip;
        inLeft -= skip;
    }
    return out;
}

std::optional<quint16> cp932Code(char32_t ch)
{
    if (ch > 0x10FFFF || (ch >= 0xD800 && ch <= 0xDFFF))
        return std::nullopt;
    const QString text = QString::fromUcs4(&ch, 1);
    QByteArray bytes;
    char *in = reinterpret_cast<char *>(const_cast<QChar *>(text.constData()));
    size_t inLeft = size_t(text.size()) * 2;
    if (!toBytes().valid() || !toBytes().run(in, inLeft, bytes))
        return std::nullopt;
    if (bytes.size() < 1 || bytes.size() > 2 || decodeCp932(bytes) != text)
        return std::nullopt;
    if (bytes.size() == 1)
        return quint8(bytes[0]);
    return quint16(quint8(bytes[0]) << 8 | quint8(bytes[1]));
}

std::optional<char32_t> cp932Char(quint16 code)
{
    QByteArray bytes;
    if (code > 0xFF)
        bytes.append(char(code >> 8));
    bytes.append(char(code & 0xFF));
    QByteArray utf16;
    char *in = bytes.data();
    size_t inLeft = size_t(bytes.size());
    if (!toText().valid() || !toText().run(in, inLeft, utf16))
        return std::nullopt;
    const QList<uint> ucs4 = utf16ToString(utf16).toUcs4();
    if (ucs4.size() != 1)
        return std::nullopt;
    return char32_t(ucs4[0]);
}

} // namespace lum
