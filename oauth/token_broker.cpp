#include "oauth/token_broker.h"

#include "oauth/form_post.h"
#include "oauth/token_reply.h"

#include <QTimer>

namespace lum {

qint64 keptMilliseconds(qint64 expiresIn)
{
    return expiresIn > 120 ? (expiresIn - 60) * 1000 : expiresIn * 500;
}

void storeRefreshToken(Keyring &keyring, const QString &key, const QString &refreshToken,
                       std::function<void(const QString &failure)> done)
{
    keyring.write(key, refreshToken, [done = std::move(done)](const KeyringAnswer &a) {
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
    keyring_.read(keyringKey, [this, alive = std::weak_ptr<int>(alive_), client, keyringKey](const KeyringAnswer &a) {
        if (alive.expired())
            return;
        if (a.ok && !a.password.isEmpty())
            return refresh(client, keyringKey, a.password);
        if (a.ok || a.missing)
            return answer(keyringKey, TokenAnswer::refused(QStringLiteral("サインインしてください (リフレッシュトークンがキーリングにありません)"), true));
        answer(keyringKey, TokenAnswer::refused(QStringLiteral("リフレッシュトークンを読めません: ") + a.reason));
    });
}

void TokenBroker::refresh(const OAuthClient &client, const QString &keyringKey, const QString &refreshToken)
{
    FormFields form{{QStringLiteral("grant_type"), QStringLiteral("refresh_token")},
                    {QStringLiteral("refresh_token"), refreshToken},
                    {QStringLiteral("client_id"), client.clientId}};
    if (!client.clientSecret.isEmpty())
        form.append({QStringLiteral("client_secret"), client.clientSecret});
    if (!client.scope.isEmpty())
        form.append({QStringLiteral("scope"), client.scope});
    postForm(network_, client.tokenUrl, form,
             [this, alive = std::weak_ptr<int>(alive_), keyringKey, refreshToken](const HttpAnswer &http) {
        if (alive.expired())
            return;
        if (!http.failure.isEmpty())
            return answer(keyringKey, TokenAnswer::refused(http.failure));
        const TokenReply reply = readTokenReply(http.status, http.body);
        if (!reply.ok)
            return answer(keyringKey, TokenAnswer::refused(reply.reason, reply.signInNeeded));
        kept_.insert(keyringKey, {reply.accessToken, QDeadlineTimer(keptMilliseconds(reply.expiresIn))});
        const TokenAnswer ok = TokenAnswer::granted(reply.accessToken);
        if (reply.refreshToken.isEmpty() || reply.refreshToken == refreshToken)
            return answer(keyringKey, ok);
        // A rotated refresh token replaces the old one, which the provider may no longer take.
        storeRefreshToken(keyring_, keyringKey, reply.refreshToken,
                          [this, alive = std::weak_ptr<int>(alive_), keyringKey, ok](const QString &failure) {
            if (alive.expired())
                return;
            if (!failure.isEmpty())
                qWarning("%s: %s", qPrintable(keyringKey), qPrintable(failure));
            answer(keyringKey, ok);
        });
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
