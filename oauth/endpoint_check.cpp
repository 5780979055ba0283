#include "oauth/endpoint_check.h"

#include <QHostAddress>
#include <QUrl>

namespace lum {

namespace {

bool loopback(const QString &host)
{
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

} // namespace

QString endpointProblem(const QString &text)
{
    if (text.trimmed().isEmpty())
        return QStringLiteral("URL が指定されていません");
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return QStringLiteral("URL が正しくありません: ") + text;
    if (url.hasFragment())
        return QStringLiteral("URL にフラグメント (#) は使えません: ") + text;
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("https"))
        return {};
    if (scheme == QLatin1String("http"))
        return loopback(url.host()) ? QString() : QStringLiteral("http:// はループバック以外では使えません: ") + text;
    return QStringLiteral("https:// の URL を指定してください: ") + text;
}

} // namespace lum
