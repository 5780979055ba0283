#pragma once
// The OAuth 2.0 client of an account as its settings give it.

#include "oauth/providers.h"
#include "settings/account_record.h"

namespace lum {

// Endpoints and scope left empty take the provider's preset.
OAuthClient clientOf(const OAuthSettings &settings);

} // namespace lum
