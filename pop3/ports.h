#pragma once
// What the POP3 engine needs from its surroundings, as small interfaces: a byte transport,
// timers and a view that shows what the engine asks for. The engine itself does no I/O;
// the Qt adapters in pop3/qt/ bind these to QTcpSocket and QTimer, tests to fakes.

#include "settings/account_record.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace lum {

// Each connection the engine opens gets a fresh id. Events carry the id of the connection
// they belong to, so late events of a connection the engine gave up are recognised and
// dropped.
using ConnId = quint64;

// Why a TLS handshake failed: the certificate's fault as far as it is known, else Handshake
// (the peer closed or spoke something other than TLS).
enum class TlsError { Handshake, UnknownIssuer, SelfSigned, Expired, NotYetValid, HostName, Revoked, Untrusted };

// Events of a transport, delivered to the engine.
class TransportEvents {
public:
    virtual ~TransportEvents() = default;
    virtual void connected(ConnId id) = 0;
    virtual void received(ConnId id, QByteArrayView bytes) = 0;
    // The peer closed the connection (end of stream).
    virtual void closed(ConnId id) = 0;
    // Connecting, reading or writing failed; code is a socket error number as understood
    // by SockErrMsg.
    virtual void failed(ConnId id, qint32 code) = 0;
    // The TLS handshake of openTls() or startTls() completed and the server's certificate
    // was accepted for the host; every byte from here on is encrypted.
    virtual void encrypted(ConnId id) = 0;
    // The TLS handshake failed or the certificate was refused. The connection is dead: no
    // byte of id reaches the peer after this, and no event of id follows. fingerprint is
    // the refused certificate's SHA-256 in lower-case hex, empty when none was received.
    virtual void tlsFailed(ConnId id, TlsError reason, const QByteArray &fingerprint) = 0;
};

// A byte stream to a server. open() returns at once; the outcome arrives as an event.
class Transport {
public:
    virtual ~Transport() = default;
    // A connection that stays plain: startTls() is not called on it.
    virtual void open(ConnId id, const QString &host, quint16 port) = 0;
    // A plain connection that startTls() may encrypt later (STLS).
    virtual void openForStartTls(ConnId id, const QString &host, quint16 port) { open(id, host, port); }
    // As open(), with TLS from the first byte (POP3S): connected() once the TCP connection
    // stands, then encrypted() or tlsFailed(). The certificate is checked against host;
    // a non-empty pin (SHA-256, lower-case hex) accepts exactly the certificate with that
    // fingerprint whatever its issuer, name or dates.
    virtual void openTls(ConnId id, const QString &host, quint16 port, const QByteArray &pin) = 0;
    // Starts the TLS handshake on the open connection (STLS, RFC 2595 §4); encrypted() or
    // tlsFailed() follows. The certificate is checked against the host given to open(), or
    // against pin as for openTls().
    virtual void startTls(ConnId id, const QByteArray &pin) = 0;
    virtual void send(ConnId id, const QByteArray &bytes) = 0;
    // Closes after the bytes already sent have gone out; no event of id follows.
    virtual void close(ConnId id) = 0;
};

// Where the password of an account kept in the desktop's keyring comes from. The answer may
// come at once or much later (the desktop may ask the user to unlock the keyring); it
// reaches the engine through Pop3Engine::passwordArrived with the same request number.
class PasswordSource {
public:
    virtual ~PasswordSource() = default;
    // key names the keyring item (keyringKey of settings/account_record.h).
    virtual void requestPassword(quint64 request, const QString &key) = 0;
};

// Where the access token of an account that signs in with OAuth 2.0 ("Authmode" 1) comes
// from: kept in memory while it is valid, else renewed with the refresh token in the
// keyring, an HTTPS request. The answer reaches the engine through Pop3Engine::tokenArrived
// with the same request number.
class TokenSource {
public:
    virtual ~TokenSource() = default;
    // key names the keyring item of the refresh token (oauthKeyringKey); renew asks for a new
    // token even when one is kept, after the server refused it.
    virtual void requestToken(quint64 request, const OAuthSettings &client, const QString &key, bool renew) = 0;
};

enum class TimerId { Check, Logon, Retr, Del, Timeup };
inline constexpr int timerCount = 5;

// Periodic timers; the engine stops one-shot ones in their first tick.
class Timers {
public:
    virtual ~Timers() = default;
    // Starts id with the given period, restarting it when it runs.
    virtual void start(TimerId id, int intervalMs) = 0;
    virtual void stop(TimerId id) = 0;
    virtual bool active(TimerId id) const = 0;
};

enum class SessionKind : qint16 { Check = 0, Retrieve = 1, Delete = 2 };

// The notification-area pictures the engine asks for.
enum class TrayPicture { Normal = 3, Working = 4, Arrival = 5 };

struct CheckCycleResult {
    qint32 total = 0;
    bool newMail = false;
};

// Requests of the engine to whatever shows it. All are optional.
class EngineView {
public:
    virtual ~EngineView() = default;
    virtual void setCaption(const QString &) {}
    // Working: icon blinking stops and the working picture shows.
    virtual void setTrayPicture(TrayPicture) {}
    // An error of a session, already filtered by "Option3value" unless the engine was told
    // to report every error.
    virtual void showMsg(const QString &) {}
    // A cycle starts: the LED blinking stops and the LED goes off now and once more shortly.
    // The log still holds the dialogue of the cycle before.
    virtual void cycleStarting() {}
    // A retrieve or delete session starts: the list and its buttons are disabled.
    virtual void sessionStarting(SessionKind) {}
    // The check cycle ended: marks cleared, the list rebuilt from the mail table (or emptied
    // when total is 0), the notification raised when newMail. The caption is already set.
    virtual void checkCycleEnded(const CheckCycleResult &) {}
    // The retrieve cycle ended: marks cleared, retrieved rows restyled, list enabled.
    virtual void retrieveCycleEnded() {}
    virtual void setBusy(bool) {}
};

} // namespace lum
