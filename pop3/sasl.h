#pragma once
// Signing in with an OAuth 2.0 access token over SASL (RFC 5034): the mechanism a server
// offers, and the initial response sent on the AUTH line.
//   OAUTHBEARER (RFC 7628 §3.1): "n,a=user," ^A "host=h" ^A "port=p" ^A "auth=Bearer t" ^A ^A
//   XOAUTH2 (Google and Microsoft):  "user=u" ^A "auth=Bearer t" ^A ^A

#include "pop3/capabilities.h"

#include <QByteArray>
#include <QString>

namespace lum {

enum class SaslMechanism { OAuthBearer, XOAuth2 };

// OAUTHBEARER where the server lists it among its SASL mechanisms, else XOAUTH2, which the
// big providers take without listing it.
SaslMechanism chooseMechanism(const Capabilities &caps);
QByteArray mechanismName(SaslMechanism mechanism);

// The AUTH command line, with the initial response in base64 and CR LF.
QByteArray authCommand(SaslMechanism mechanism, const QString &user, const QString &host, quint16 port,
                       const QString &token);

// What the client answers to a challenge, which only ever says the token was refused: for
// OAUTHBEARER a lone ^A (RFC 7628 §3.2.3), for XOAUTH2 an empty line. The server then
// answers "-ERR".
QByteArray challengeAnswer(SaslMechanism mechanism);

} // namespace lum
