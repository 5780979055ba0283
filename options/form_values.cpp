#include "options/form_values.h"

#include "settings/numbers.h"

namespace lum {

std::optional<qint16> timerValue(const QString &text)
{
    const auto v = toInt16(text);
    if (!v || *v < 0)
        return std::nullopt;
    return v;
}

std::optional<quint16> portValue(const QString &text)
{
    const auto v = toInt32(text);
    if (!v || *v < 1 || *v > 65535)
        return std::nullopt;
    return quint16(*v);
}

QString accountRowText(const AccountRecord &account)
{
    return account.aname + QLatin1Char('(') + account.hname + QLatin1Char(')');
}

QString accountMark(const AccountRecord &account)
{
    return account.check != 0 ? QStringLiteral("○") : QStringLiteral("×");
}

QString defaultAccountName(const QString &user, const QString &host)
{
    return user + QLatin1Char('@') + host;
}

} // namespace lum
