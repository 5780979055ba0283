#pragma once
// A token endpoint's answer (RFC 6749 §5.1 and §5.2) read into what the program needs. The
// reason for a refusal never repeats a token or a code from the reply. Only Bearer tokens
// (RFC 6750) are taken, the type named in any case; a reply that names none is taken as one.

#include <QByteArray>
#include <QString>

namespace lum {

// Larger bodies are refused unread.
constexpr qsizetype maxTokenReplyBytes = 64 * 1024;

// A longer lifetime is taken as a year.
constexpr qint64 maxExpiresIn = 365 * 24 * 3600;

struct TokenReply {
    bool ok = false;
    QString accessToken;
    qint64 expiresIn = 3600;   // seconds, 0..maxExpiresIn; the default when the provider does not say
    QString refreshToken;      // empty when the provider keeps the one it had given
    QString userName;          // the mail address in the id_token, a hint only
    QString error;             // the provider's error code, when it sent one
    bool signInNeeded = false; // the refresh token or code was refused (invalid_grant)
    QString reason;            // in Japanese, when not ok
};

// The reply with HTTP status httpStatus and body body.
TokenReply readTokenReply(int httpStatus, const QByteArray &body);

// The mail address in an OpenID Connect id_token ("email", else "preferred_username"),
// read without checking the signature; empty when there is none.
QString idTokenUserName(const QString &idToken);

} // namespace lum
