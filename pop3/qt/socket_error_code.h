#pragma once
// Qt's socket errors as the socket error numbers that SockErrMsg knows.

#include "pop3/ports.h"

#include <QAbstractSocket>
#include <QList>
#include <QSslError>

namespace lum {

// An error without a counterpart gives a number outside the table, which SockErrMsg shows
// in parentheses; never 0, which would read as "no error".
qint32 socketErrorCode(QAbstractSocket::SocketError error);

// The reason to tell for a refused certificate: of the errors Qt found, the one about the
// issuer first (a self-signed certificate usually also has the wrong name), then the dates,
// then the name; Handshake when there is none.
TlsError tlsErrorOf(const QList<QSslError::SslError> &errors);

} // namespace lum
