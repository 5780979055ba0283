#include "oauth/account_client.h"

namespace lum {

OAuthClient clientOf(const OAuthSettings &s, MailProtocol protocol)
{
    OAuthClient c{s.authUrl, s.tokenUrl, s.scope, s.clientId, s.clientSecret};
    if (const auto preset = oauthPreset(s.provider, protocol)) {
        for (auto [field, fallback] : {std::pair{&c.authUrl, preset->client.authUrl},
                                       std::pair{&c.tokenUrl, preset->client.tokenUrl},
                                       std::pair{&c.scope, preset->client.scope}}) {
            if (field->isEmpty())
                *field = fallback;
        }
    }
    return c;
}

} // namespace lum
