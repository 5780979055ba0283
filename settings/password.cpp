#include "settings/password.h"

#include "platform/codepage.h"

#include <QRegularExpression>

namespace lum {
namespace {
constexpr qint64 kUnicodeBase = 65536;

bool isDecimal(const QString &field)
{
    static const QRegularExpression decimal(QStringLiteral("^[-+]?[0-9]{1,9}$"));
    return decimal.match(field).hasMatch();
}

} // namespace

QString scramblePassword(const QString &password)
{
    QString stored;
    for (const char32_t ch : password.toUcs4()) {
        if (const auto code = cp932Code(ch))
            stored += QString::number(qint16(*code));
        else
            stored += QString::number(kUnicodeBase + ch);
        stored += u' ';
    }
    return stored;
}

QString unscramblePassword(const QString &stored)
{
    QString password;
    qsizetype i = 0;
    const qsizetype end = stored.size();
    while (i < end) {
        const qsizetype blank = stored.indexOf(u' ', i);
        if (blank < 0)
            break; // text after the last blank is ignored
        const QString field = stored.mid(i, blank - i);
        i = blank + 1;
        if (!isDecimal(field))
            continue;
        const qint64 n = field.toLongLong();
        std::optional<char32_t> ch;
        if (n >= -32768 && n <= 65535)
            ch = cp932Char(quint16(n));
        else if (n >= kUnicodeBase && n <= kUnicodeBase + 0x10FFFF
                 && !(n >= kUnicodeBase + 0xD800 && n <= kUnicodeBase + 0xDFFF))
            ch = char32_t(n - kUnicodeBase);
        if (ch)
            password += QString::fromUcs4(&*ch, 1);
    }
    return password;
}

QString storedPassword(const QString &stored)
{
    if (stored == QStringLiteral("0"))
        return QString();
    const QString last = stored.mid(stored.lastIndexOf(u' ') + 1);
    return unscramblePassword(isDecimal(last) ? stored + u' ' : stored);
}

} // namespace lum
