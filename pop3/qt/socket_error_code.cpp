#include "pop3/qt/socket_error_code.h"

#include "pop3/sock_err_msg.h"

namespace lum {

qint32 socketErrorCode(QAbstractSocket::SocketError error)
{
    using E = QAbstractSocket::SocketError;
    switch (error) {
    case E::ConnectionRefusedError:
        return wsa::connRefused;
    case E::RemoteHostClosedError:
        return wsa::connReset;
    case E::HostNotFoundError:
        return wsa::hostNotFound;
    case E::SocketAccessError:
        return 10013;
    case E::SocketResourceError:
        // Qt's error when socket() fails for want of descriptors or memory.
        return socketNotCreated;
    case E::SocketTimeoutError:
        return wsa::timedOut;
    case E::DatagramTooLargeError:
        return wsa::msgSize;
    case E::NetworkError:
        return wsa::netUnreach;
    case E::AddressInUseError:
        return 10048;
    case E::SocketAddressNotAvailableError:
        return 10049;
    case E::UnsupportedSocketOperationError:
        return 10045;
    case E::UnfinishedSocketOperationError:
        return 10036;
    case E::TemporaryError:
        return wsa::wouldBlock;
    case E::OperationError:
        return 10022;
    default:
        break;
    }
    // Proxy, TLS and unknown errors: Qt's own number, kept clear of 0.
    return -1000 - int(error);
}

TlsError tlsErrorOf(const QList<QSslError::SslError> &errors)
{
    const auto reason = [](QSslError::SslError e) {
        switch (e) {
        case QSslError::SelfSignedCertificate:
        case QSslError::SelfSignedCertificateInChain:
            return TlsError::SelfSigned;
        case QSslError::UnableToGetIssuerCertificate:
        case QSslError::UnableToGetLocalIssuerCertificate:
        case QSslError::UnableToVerifyFirstCertificate:
        case QSslError::CertificateUntrusted:
            return TlsError::UnknownIssuer;
        case QSslError::CertificateRevoked:
            return TlsError::Revoked;
        case QSslError::CertificateExpired:
            return TlsError::Expired;
        case QSslError::CertificateNotYetValid:
            return TlsError::NotYetValid;
        case QSslError::HostNameMismatch:
            return TlsError::HostName;
        case QSslError::NoError:
            return TlsError::Handshake;
        default:
            return TlsError::Untrusted;
        }
    };
    // The order of the enumeration TlsError is not the order of telling.
    static constexpr TlsError order[] = {TlsError::SelfSigned, TlsError::UnknownIssuer, TlsError::Revoked,
                                         TlsError::Expired,    TlsError::NotYetValid,   TlsError::HostName,
                                         TlsError::Untrusted};
    for (TlsError wanted : order) {
        for (QSslError::SslError e : errors) {
            if (reason(e) == wanted)
                return wanted;
        }
    }
    return TlsError::Handshake;
}

} // namespace lum
