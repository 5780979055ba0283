#pragma once
// The engine's TokenSource on the token broker: each request becomes an access token, kept
// or renewed from the refresh token in the keyring, whose answer goes back to the engine.
// Answers that come after this object is gone are dropped.

#include "oauth/account_client.h"
#include "oauth/token_broker.h"
#include "pop3/engine.h"

#include <memory>

namespace lum {

class OAuthTokens : public TokenSource {
public:
    OAuthTokens(TokenBroker &broker, Pop3Engine &engine) : broker_(broker), engine_(engine) {}

    void requestToken(quint64 request, const OAuthSettings &client, const QString &key, bool renew) override
    {
        broker_.accessToken(clientOf(client), key, renew,
                            [this, request, alive = std::weak_ptr<int>(alive_)](const TokenAnswer &a) {
                                if (alive.expired())
                                    return;
                                if (a.ok)
                                    engine_.tokenArrived(request, a.token, {}, false);
                                else
                                    engine_.tokenArrived(request, std::nullopt, a.reason, a.signInNeeded);
                            });
    }

private:
    TokenBroker &broker_;
    Pop3Engine &engine_;
    std::shared_ptr<int> alive_ = std::make_shared<int>();
};

} // namespace lum
