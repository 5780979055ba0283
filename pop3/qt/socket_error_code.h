#pragma once
// Qt's socket errors as the socket error numbers that SockErrMsg knows.

#include <QAbstractSocket>

namespace lum {

// An error without a counterpart gives a number outside the table, which SockErrMsg shows
// in parentheses; never 0, which would read as "no error".
qint32 socketErrorCode(QAbstractSocket::SocketError error);

} // namespace lum
