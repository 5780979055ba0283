#include "oauth/providers.h"

#include <array>

namespace lum {

namespace {

// A provider with a preset of its own; "custom" has none of these filled in. The server and
// scope are given for POP3 and for IMAP, in this order.
struct Provider {
    const char *id;
    std::array<const char *, 2> server;
    const char *authUrl;
    const char *tokenUrl;
    std::array<const char *, 2> scope;
};

const std::array<Provider, 2> providers{{
    {"microsoft",
     {"outlook.office365.com", "outlook.office365.com"},
     "https://login.microsoftonline.com/common/oauth2/v2.0/authorize",
     "https://login.microsoftonline.com/common/oauth2/v2.0/token",
     {"https://outlook.office.com/POP.AccessAsUser.All offline_access",
      "https://outlook.office.com/IMAP.AccessAsUser.All offline_access"}},
    // Google has no narrower scope that covers POP3 or IMAP.
    {"google",
     {"pop.gmail.com", "imap.gmail.com"},
     "https://accounts.google.com/o/oauth2/v2/auth",
     "https://oauth2.googleapis.com/token",
     {"https://mail.google.com/", "https://mail.google.com/"}},
}};

} // namespace

std::optional<OAuthPreset> oauthPreset(const QString &id, MailProtocol protocol)
{
    const size_t which = protocol == MailProtocol::Imap ? 1 : 0;
    for (const Provider &p : providers) {
        if (id == QLatin1String(p.id)) {
            return OAuthPreset{id, QString::fromLatin1(p.server[which]), defaultPort(protocol, SslMode::Tls), true,
                               {QString::fromLatin1(p.authUrl), QString::fromLatin1(p.tokenUrl),
                                QString::fromLatin1(p.scope[which]), {}, {}}};
        }
    }
    if (id == QLatin1String("custom"))
        return OAuthPreset{id, {}, 0, false, {}};
    return std::nullopt;
}

} // namespace lum
