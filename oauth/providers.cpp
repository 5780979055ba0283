#include "oauth/providers.h"

#include <array>

namespace lum {

namespace {

// The providers with a preset of their own; "custom" has none of these filled in.
const std::array<OAuthPreset, 2> presets{{
    {QStringLiteral("microsoft"), QStringLiteral("outlook.office365.com"), 995, true,
     {QStringLiteral("https://login.microsoftonline.com/common/oauth2/v2.0/authorize"),
      QStringLiteral("https://login.microsoftonline.com/common/oauth2/v2.0/token"),
      QStringLiteral("https://outlook.office.com/POP.AccessAsUser.All offline_access"), {}, {}}},
    {QStringLiteral("google"), QStringLiteral("pop.gmail.com"), 995, true,
     {QStringLiteral("https://accounts.google.com/o/oauth2/v2/auth"), QStringLiteral("https://oauth2.googleapis.com/token"),
      QStringLiteral("https://mail.google.com/"), {}, {}}},
}};

} // namespace

std::optional<OAuthPreset> oauthPreset(const QString &id)
{
    for (const OAuthPreset &p : presets) {
        if (p.id == id)
            return p;
    }
    if (id == QLatin1String("custom"))
        return OAuthPreset{id, {}, 0, false, {}};
    return std::nullopt;
}

} // namespace lum
