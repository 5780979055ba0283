#pragma once
// Whether a URL may serve as an OAuth 2.0 endpoint: https, or plain http on the loopback
// only (a test server or a local proxy), and no fragment (RFC 6749 §3.1).

#include <QString>

namespace lum {

// Why url can't be used as an endpoint, in Japanese; empty when it can.
QString endpointProblem(const QString &url);

} // namespace lum
