#pragma once
// Socket error numbers and the Japanese texts the user sees for them. The numbers are the
// Winsock ones (10061 refused, 11001 host not found, ...); platform errors are mapped to
// them first (see qt/socket_error_code.h).

#include "pop3/ports.h"

#include <QString>

namespace lum {

// The message for code; a code without a text gives "(" code ")", so 0 gives "(0)".
QString SockErrMsg(qint32 code);

// The message for a failed TLS handshake, naming the certificate's fault when known.
QString TlsErrMsg(TlsError reason);

// "(0)" and the empty text mean "no error": nothing is to be shown.
bool isNoError(const QString &message);

namespace wsa {
inline constexpr qint32 wouldBlock = 10035;
inline constexpr qint32 msgSize = 10040;
inline constexpr qint32 netDown = 10050;
inline constexpr qint32 netUnreach = 10051;
inline constexpr qint32 connAborted = 10053;
inline constexpr qint32 connReset = 10054;
inline constexpr qint32 noBufs = 10055;
inline constexpr qint32 notConn = 10057;
inline constexpr qint32 timedOut = 10060;
inline constexpr qint32 connRefused = 10061;
inline constexpr qint32 hostUnreach = 10065;
inline constexpr qint32 hostNotFound = 11001;
inline constexpr qint32 tryAgain = 11002;
} // namespace wsa

// Not a Winsock number: no socket could be created (descriptors or memory used up).
inline constexpr qint32 socketNotCreated = -10;

} // namespace lum
