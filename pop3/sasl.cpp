#include "pop3/sasl.h"

#include <algorithm>

namespace lum {

namespace {

// The authorization identity of the GS2 header: "," and "=" escaped (RFC 5801 §4).
QByteArray gs2Name(const QString &user)
{
    QByteArray name = user.toUtf8();
    name.replace('=', "=3D");
    name.replace(',', "=2C");
    return name;
}

} // namespace

SaslMechanism chooseMechanism(const Capabilities &caps)
{
    return caps.sasl.contains(QStringLiteral("OAUTHBEARER")) ? SaslMechanism::OAuthBearer
                                                             : SaslMechanism::XOAuth2;
}

QByteArray mechanismName(SaslMechanism mechanism)
{
    return mechanism == SaslMechanism::OAuthBearer ? "OAUTHBEARER" : "XOAUTH2";
}

QByteArray initialResponse(SaslMechanism mechanism, const QString &user, const QString &host, quint16 port,
                           const QString &token)
{
    const QByteArray bearer = "auth=Bearer " + token.toUtf8() + "\x01\x01";
    QByteArray response;
    if (mechanism == SaslMechanism::OAuthBearer) {
        response = "n,a=" + gs2Name(user) + ",\x01host=" + host.toUtf8() + "\x01port="
            + QByteArray::number(port) + '\x01' + bearer;
    } else {
        response = "user=" + user.toUtf8() + '\x01' + bearer;
    }
    return response.toBase64();
}

AuthCommand authCommand(SaslMechanism mechanism, const QByteArray &response)
{
    constexpr qsizetype maxLine = 255; // octets, CR LF included
    const QByteArray name = "AUTH " + mechanismName(mechanism);
    if (name.size() + 1 + response.size() + 2 <= maxLine)
        return {name + ' ' + response + "\r\n", {}};
    return {name + "\r\n", response + "\r\n"};
}

bool refusalMayBeTheToken(QByteArrayView status)
{
    QByteArrayView text = status.sliced(std::min<qsizetype>(status.size(), 4)).trimmed(); // after "-ERR"
    if (!text.startsWith('['))
        return true;
    const qsizetype end = text.indexOf(']');
    return end > 0 && text.sliced(1, end - 1).compare("AUTH", Qt::CaseInsensitive) == 0;
}

QByteArray challengeAnswer(SaslMechanism mechanism)
{
    return mechanism == SaslMechanism::OAuthBearer ? "AQ==\r\n" : "\r\n";
}

} // namespace lum
