#pragma once
// Access tokens for OAuth 2.0 accounts. Each account's refresh token lives in the keyring,
// bound to the token endpoint and client id it was issued for (oauth/stored_token.h); the
// broker trades it at that endpoint only for an access token (RFC 6749 §6) and keeps that in
// memory until shortly before it expires. A renewal holds the item's renewal lock, shared
// with other programs, from reading the item to writing a rotated refresh token back. An
// invalid_grant for a token another program has replaced meanwhile is tried once more with
// the new one. Answers come later on the event loop, never during a call, and not at all once
// the broker is gone.

#include "oauth/providers.h"
#include "oauth/renewal_lock.h"
#include "oauth/stored_token.h"
#include "oauth/token_reply.h"
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
    QString unsaved;           // ok, but the rotated refresh token could not be stored: why

    static TokenAnswer granted(const QString &token) { return {true, token, {}, false, {}}; }
    static TokenAnswer refused(const QString &reason, bool signInNeeded = false)
    {
        return {false, {}, reason, signInNeeded, {}};
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
    // One renewal under way, from taking the lock to the answer.
    struct Renewal {
        OAuthClient client;
        QString key;
        std::shared_ptr<RenewalLock> lock;
        StoredToken stored;
        bool retried = false; // after an invalid_grant
        TokenReply refusal;
    };
    void readItem(Renewal r);
    void refresh(Renewal r);
    void granted(const Renewal &r, const TokenReply &reply);
    void answer(const QString &keyringKey, const TokenAnswer &answer);

    Keyring &keyring_;
    QNetworkAccessManager &network_;
    QHash<QString, Kept> kept_;
    QHash<QString, QList<Done>> waiting_; // one renewal per account at a time
    std::shared_ptr<int> alive_ = std::make_shared<int>();
};

// Writes a refresh token with what it was issued for to the keyring item key; done gets an
// empty text, or why not (in Japanese).
void storeRefreshToken(Keyring &keyring, const QString &key, const StoredToken &token,
                       std::function<void(const QString &failure)> done);

// How long an access token that lives expiresIn seconds is used: up to a minute before its
// end, or half its life when that is short.
qint64 keptMilliseconds(qint64 expiresIn);

} // namespace lum
