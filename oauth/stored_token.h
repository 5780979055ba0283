#pragma once
// The keyring value of an OAuth 2.0 account: the refresh token with the token endpoint and
// the client id it was issued for, as a small JSON object. A refresh token goes to no other
// endpoint and with no other client. A value kept before the endpoint was stored with it is
// the bare token; it is taken once for the account's present endpoint and then rewritten.

#include "oauth/providers.h"

#include <QString>

namespace lum {

struct StoredToken {
    QString refreshToken;
    QString tokenUrl; // empty for a bare token of an older version
    QString clientId;

    bool bare() const { return tokenUrl.isEmpty(); }
    // Whether the token may be sent with client: always for a bare one.
    bool issuedFor(const OAuthClient &client) const;
};

StoredToken storedToken(const QString &keyringValue);
QString keyringValue(const StoredToken &token);
// A token from client, bound to its endpoint and client id.
StoredToken tokenFor(const OAuthClient &client, const QString &refreshToken);

} // namespace lum
