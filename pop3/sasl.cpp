#include "pop3/sasl.h"

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

QByteArray authCommand(SaslMechanism mechanism, const QString &user, const QString &host, quint16 port,
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
    return "AUTH " + mechanismName(mechanism) + ' ' + response.toBase64() + "\r\n";
}

QByteArray challengeAnswer(SaslMechanism mechanism)
{
    return mechanism == SaslMechanism::OAuthBearer ? "AQ==\r\n" : "\r\n";
}

} // namespace lum
