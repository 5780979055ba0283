#pragma once
// Proof Key for Code Exchange (RFC 7636) with the S256 method, and the random state of an
// authorization request (RFC 6749 §10.12). Randomness comes from the system's generator.

#include <QByteArray>

namespace lum {

// 43 characters of the unreserved set: 32 random octets in base64url (RFC 7636 §4.1).
QByteArray newCodeVerifier();
// BASE64URL(SHA256(verifier)) without padding (RFC 7636 §4.2).
QByteArray codeChallengeS256(const QByteArray &verifier);
// 22 characters of base64url: 16 random octets.
QByteArray newState();

} // namespace lum
