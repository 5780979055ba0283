#pragma once
// Signing in with an OAuth 2.0 access token over SASL (RFC 5034): the mechanism a server
// offers, the initial response and the AUTH line that carries it when it fits.
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

// The initial response in base64.
QByteArray initialResponse(SaslMechanism mechanism, const QString &user, const QString &host, quint16 port,
                           const QString &token);

// The AUTH command line with CR LF. The response goes on it only when the whole line, CR LF
// included, takes at most 255 octets (RFC 5034 §4); else the line names the mechanism alone,
// and the response follows on a line of its own once the server has sent its empty "+ ".
// An access token is usually 1,000 octets or more, so the long form is the common one.
struct AuthCommand {
    QByteArray line;
    QByteArray response; // with CR LF, for the server's "+ "; empty when it is on the line
};
AuthCommand authCommand(SaslMechanism mechanism, const QByteArray &response);

// Whether a refusal of AUTH ("-ERR ...") may be the token's: a response code of [AUTH] or
// none (RFC 3206 §4, RFC 2449 §8). [IN-USE], [SYS/TEMP], [LOGIN-DELAY], [SYS/PERM] and any
// other code say the server could not take the login for a reason of its own.
bool refusalMayBeTheToken(QByteArrayView status);

// What the client answers to a challenge after the response, which only ever says the token
// was refused: for OAUTHBEARER a lone ^A (RFC 7628 §3.2.3), for XOAUTH2 an empty line. The
// server then answers "-ERR".
QByteArray challengeAnswer(SaslMechanism mechanism);

} // namespace lum
