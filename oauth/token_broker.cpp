#include "oauth/token_broker.h"

#include "oauth/form_post.h"
#include "settings/account_record.h"

#include <QTimer>

namespace lum {

namespace {

const QString otherIssuer = QStringLiteral(
    "サインインし直してください (リフレッシュトークンは別のトークン URL かクライアント ID に発行されたものです)");

} // namespace

qint64 keptMilliseconds(qint64 expiresIn)
{
    return expiresIn > 120 ? (expiresIn - 60) * 1000 : expiresIn * 500;
}

void storeRefreshToken(Keyring &keyring, const QString &key, const StoredToken &token,
                       std::function<void(const QString &failure)> done)
{
    keyring.write(key, keyringValue(token), [done = std::move(done)](const KeyringAnswer &a) {
        done(a.ok ? QString() : QStringLiteral("リフレッシュトークンをキーリングに保存できません: ") + a.reason);
    });
}

TokenBroker::TokenBroker(Keyring &keyring, QNetworkAccessManager &network)
    : keyring_(keyring), network_(network)
{
}

void TokenBroker::accessToken(const OAuthClient &client, const QString &keyringKey, bool renew, Done done)
{
    if (renew)
        kept_.remove(keyringKey);
    if (const auto k = kept_.constFind(keyringKey); k != kept_.constEnd() && !k->until.hasExpired()) {
        QTimer::singleShot(0, [alive = std::weak_ptr<int>(alive_), token = k->token, done = std::move(done)] {
            if (!alive.expired())
                done(TokenAnswer::granted(token));
        });
        return;
    }
    kept_.remove(keyringKey);
    QList<Done> &waiting = waiting_[keyringKey];
    waiting.append(std::move(done));
    if (waiting.size() > 1)
        return; // the renewal under way answers this one too
    lockRenewal(keyringKey, [this, alive = std::weak_ptr<int>(alive_), client, keyringKey](
                                std::shared_ptr<RenewalLock> lock, const QString &failure) {
        if (alive.expired())
            return;
        if (!lock)
            return answer(keyringKey, TokenAnswer::refused(failure));
        Renewal r;
        r.client = client;
        r.key = keyringKey;
        r.lock = std::move(lock);
        readItem(std::move(r));
    });
}

// Read under the lock, so that a token another program renewed meanwhile is the one used.
void TokenBroker::readItem(Renewal r)
{
    readMoving(keyring_, r.key, formerKeyringKey(r.key), [this, alive = std::weak_ptr<int>(alive_), r](const KeyringAnswer &a) mutable {
        if (alive.expired())
            return;
        if (!a.ok && !a.missing)
            return answer(r.key, TokenAnswer::refused(QStringLiteral("リフレッシュトークンを読めません: ") + a.reason));
        const StoredToken stored = storedToken(a.ok ? a.password : QString());
        if (r.retried && stored.refreshToken == r.stored.refreshToken)
            return answer(r.key, TokenAnswer::refused(r.refusal.reason, true));
        if (stored.refreshToken.isEmpty())
            return answer(r.key, TokenAnswer::refused(QStringLiteral("サインインしてください (リフレッシュトークンがキーリングにありません)"), true));
        if (!stored.issuedFor(r.client))
            return answer(r.key, TokenAnswer::refused(otherIssuer, true));
        r.stored = stored;
        refresh(std::move(r));
    });
}

void TokenBroker::refresh(Renewal r)
{
    const OAuthClient &client = r.client;
    FormFields form{{QStringLiteral("grant_type"), QStringLiteral("refresh_token")},
                    {QStringLiteral("refresh_token"), r.stored.refreshToken},
                    {QStringLiteral("client_id"), client.clientId}};
    if (!client.clientSecret.isEmpty())
        form.append({QStringLiteral("client_secret"), client.clientSecret});
    if (!client.scope.isEmpty())
        form.append({QStringLiteral("scope"), client.scope});
    postForm(network_, client.tokenUrl, form, [this, alive = std::weak_ptr<int>(alive_), r](const HttpAnswer &http) mutable {
        if (alive.expired())
            return;
        if (!http.failure.isEmpty())
            return answer(r.key, TokenAnswer::refused(http.failure));
        const TokenReply reply = readTokenReply(http.status, http.body);
        if (reply.ok)
            return granted(r, reply);
        if (!reply.signInNeeded || r.retried)
            return answer(r.key, TokenAnswer::refused(reply.reason, reply.signInNeeded));
        // Perhaps a program that does not take the lock has rotated the token meanwhile.
        r.retried = true;
        r.refusal = reply;
        readItem(std::move(r));
    });
}

void TokenBroker::granted(const Renewal &r, const TokenReply &reply)
{
    kept_.insert(r.key, {reply.accessToken, QDeadlineTimer(keptMilliseconds(reply.expiresIn))});
    const TokenAnswer ok = TokenAnswer::granted(reply.accessToken);
    const bool rotated = !reply.refreshToken.isEmpty() && reply.refreshToken != r.stored.refreshToken;
    if (!rotated && !r.stored.bare())
        return answer(r.key, ok);
    // A rotated refresh token replaces the old one, which the provider may no longer take; a
    // bare one of an older version is bound to the endpoint it has just been taken by.
    const StoredToken next = tokenFor(r.client, rotated ? reply.refreshToken : r.stored.refreshToken);
    keyring_.write(r.key, keyringValue(next),
                   [this, alive = std::weak_ptr<int>(alive_), r, ok, rotated](const KeyringAnswer &written) {
        if (alive.expired())
            return;
        TokenAnswer a = ok;
        if (rotated && !written.ok)
            a.unsaved = written.reason;
        answer(r.key, a); // the lock goes with r
    });
}

void TokenBroker::answer(const QString &keyringKey, const TokenAnswer &a)
{
    const QList<Done> waiting = waiting_.take(keyringKey);
    const std::weak_ptr<int> alive = alive_;
    for (const Done &done : waiting) {
        if (alive.expired())
            return; // an earlier answer ended the broker
        done(a);
    }
}

} // namespace lum
