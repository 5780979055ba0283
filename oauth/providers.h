#pragma once
// The OAuth 2.0 providers an account can pick, with their POP3 and IMAP servers, endpoints
// and scopes. No client id is shipped: each user registers an application with the provider.

#include "settings/account_record.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace lum {

// What the token side needs of an account's OAuth 2.0 client.
struct OAuthClient {
    QString authUrl;
    QString tokenUrl;
    QString scope;
    QString clientId;
    QString clientSecret; // empty for a public client
};

struct OAuthPreset {
    QString id;               // "microsoft", "google", "custom"
    QString server;           // empty for custom
    quint16 port = 0;         // 0 for custom
    bool tlsFromStart = false; // TLS from the first byte (POP3S, IMAPS)
    OAuthClient client;       // without clientId and clientSecret
};

// The preset of id for an account of protocol, nothing for an unknown id.
std::optional<OAuthPreset> oauthPreset(const QString &id, MailProtocol protocol = MailProtocol::Pop3);

} // namespace lum
