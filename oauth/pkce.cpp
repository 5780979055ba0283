#include "oauth/pkce.h"

#include <QCryptographicHash>
#include <QRandomGenerator>

namespace lum {

namespace {

constexpr auto url64 = QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals;

QByteArray randomText(int octets)
{
    QByteArray bytes(octets, Qt::Uninitialized);
    QRandomGenerator::system()->generate(bytes.begin(), bytes.end());
    return bytes.toBase64(url64);
}

} // namespace

QByteArray newCodeVerifier()
{
    return randomText(32);
}

QByteArray codeChallengeS256(const QByteArray &verifier)
{
    return QCryptographicHash::hash(verifier, QCryptographicHash::Sha256).toBase64(url64);
}

QByteArray newState()
{
    return randomText(16);
}

} // namespace lum
