#pragma once
// Access tokens for OAuth 2.0 accounts. Each account's refresh token lives in the keyring;
// the broker trades it at the token endpoint for an access token (RFC 6749 §6) and keeps
// that in memory until shortly before it expires. A refresh token the provider rotates is
// written back to the keyring. Answers come later on the event loop, never during a call,
// and not at all once the broker is gone.

#include "oauth/providers.h"
#include "platform/keyring.h"

#include <QDeadlineTimer>
#include <QHash>
#include <QNetworkAccessManager>

#include <functional>
#include <memory>

namespace lum {

struct TokenAnswer {
    bool ok = false;
    QString token;
    QString reason;            // in Japanese, when not ok
    bool signInNeeded = false; // no refresh token, or the provider refused it

    static TokenAnswer granted(const QString &token) { return {true, token, {}, false}; }
    static TokenAnswer refused(const QString &reason, bool signInNeeded = false)
    {
        return {false, {}, reason, signInNeeded};
    }
};

class TokenBroker {
public:
    using Done = std::function<void(const TokenAnswer &)>;
    TokenBroker(Keyring &keyring, QNetworkAccessManager &network);

    // An access token for the account whose refresh token is the keyring item keyringKey.
    // renew: the server refused the kept token; fetch a new one.
    void accessToken(const OAuthClient &client, const QString &keyringKey, bool renew, Done done);

private:
    struct Kept {
        QString token;
        QDeadlineTimer until;
    };
    void refresh(const OAuthClient &client, const QString &keyringKey, const QString &refreshToken);
    void answer(const QString &keyringKey, const TokenAnswer &answer);

    Keyring &keyring_;
    QNetworkAccessManager &network_;
    QHash<QString, Kept> kept_;
    QHash<QString, QList<Done>> waiting_; // one renewal per account at a time
    std::shared_ptr<int> alive_ = std::make_shared<int>();
};

// Writes a refresh token to the keyring item key; done gets an empty text, or why not (in
// Japanese).
void storeRefreshToken(Keyring &keyring, const QString &key, const QString &refreshToken,
                       std::function<void(const QString &failure)> done);

// How long an access token that lives expiresIn seconds is used: up to a minute before its
// end, or half its life when that is short.
qint64 keptMilliseconds(qint64 expiresIn);

} // namespace lum
