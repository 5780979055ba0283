#include "oauth/stored_token.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace lum {

namespace {
const QLatin1String refreshName("refresh_token"), endpointName("token_endpoint"), clientName("client_id");
}

bool StoredToken::issuedFor(const OAuthClient &client) const
{
    return bare() || (tokenUrl == client.tokenUrl.trimmed() && clientId == client.clientId);
}

StoredToken storedToken(const QString &value)
{
    const QJsonObject o = QJsonDocument::fromJson(value.toUtf8()).object();
    if (!o.value(refreshName).isString() || !o.value(endpointName).isString())
        return {value, {}, {}};
    return {o.value(refreshName).toString(), o.value(endpointName).toString(), o.value(clientName).toString()};
}

QString keyringValue(const StoredToken &t)
{
    const QJsonObject o{{refreshName, t.refreshToken}, {endpointName, t.tokenUrl}, {clientName, t.clientId}};
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

StoredToken tokenFor(const OAuthClient &client, const QString &refreshToken)
{
    return {refreshToken, client.tokenUrl.trimmed(), client.clientId};
}

} // namespace lum
