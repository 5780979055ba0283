#pragma once
// The OAuth 2.0 client of an account as its settings give it.

#include "oauth/providers.h"
#include "settings/account_record.h"

namespace lum {

// Endpoints and scope left empty take the provider's preset for the account's protocol.
OAuthClient clientOf(const OAuthSettings &settings, MailProtocol protocol = MailProtocol::Pop3);

} // namespace lum
