#include "oauth/providers.h"

namespace lum {

QStringList oauthPresetIds()
{
    return {QStringLiteral("microsoft"), QStringLiteral("google"), QStringLiteral("custom")};
}

std::optional<OAuthPreset> oauthPreset(const QString &id)
{
    OAuthPreset p;
    p.id = id;
    if (id == QLatin1String("microsoft")) {
        p.server = QStringLiteral("outlook.office365.com");
        p.port = 995;
        p.tlsFromStart = true;
        p.client.authUrl = QStringLiteral("https://login.microsoftonline.com/common/oauth2/v2.0/authorize");
        p.client.tokenUrl = QStringLiteral("https://login.microsoftonline.com/common/oauth2/v2.0/token");
        p.client.scope = QStringLiteral("https://outlook.office.com/POP.AccessAsUser.All offline_access");
        return p;
    }
    if (id == QLatin1String("google")) {
        p.server = QStringLiteral("pop.gmail.com");
        p.port = 995;
        p.tlsFromStart = true;
        p.client.authUrl = QStringLiteral("https://accounts.google.com/o/oauth2/v2/auth");
        p.client.tokenUrl = QStringLiteral("https://oauth2.googleapis.com/token");
        p.client.scope = QStringLiteral("https://mail.google.com/");
        return p;
    }
    if (id == QLatin1String("custom"))
        return p;
    return std::nullopt;
}

} // namespace lum
