#pragma once
// The engine's TokenSource on the token broker: each request becomes an access token, kept
// or renewed from the refresh token in the keyring, whose answer goes back to the engine.
// Answers that come after this object is gone are dropped. A rotated refresh token the
// keyring did not take is reported through report, the check going on with the access token.

#include "oauth/account_client.h"
#include "oauth/token_broker.h"
#include "pop3/engine.h"
#include "settings/options.h"

#include <functional>

#include <memory>

namespace lum {

class OAuthTokens : public TokenSource {
public:
    using Report = std::function<void(const QString &message)>;
    // options.current is the account the engine asks for.
    OAuthTokens(TokenBroker &broker, Pop3Engine &engine, const Options &options, Report report)
        : broker_(broker), engine_(engine), options_(options), report_(std::move(report))
    {
    }

    void requestToken(quint64 request, const OAuthSettings &client, const QString &key, bool renew) override
    {
        broker_.accessToken(clientOf(client, options_.current.protocol), key, renew,
                            [this, request, alive = std::weak_ptr<int>(alive_),
                             account = options_.current.aname](const TokenAnswer &a) {
                                if (alive.expired())
                                    return;
                                if (!a.unsaved.isEmpty() && report_)
                                    report_(QStringLiteral("新しいリフレッシュトークンを保存できません (") + account
                                            + QStringLiteral("): ") + a.unsaved);
                                if (a.ok)
                                    engine_.tokenArrived(request, a.token, {}, false);
                                else
                                    engine_.tokenArrived(request, std::nullopt, a.reason, a.signInNeeded);
                            });
    }

private:
    TokenBroker &broker_;
    Pop3Engine &engine_;
    const Options &options_;
    Report report_;
    std::shared_ptr<int> alive_ = std::make_shared<int>();
};

} // namespace lum
