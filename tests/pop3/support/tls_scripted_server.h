#pragma once
// A server that gets TLS wrong in scripted ways, on a real socket at 127.0.0.1, served from
// its own thread with blocking calls (QSslSocket's waitFor* on the server side). POP3S
// starts with the client's first bytes; STLS greets and answers STLS with +OK first. What
// comes then is the script's. Everything the server receives is kept: raw bytes until a
// handshake completes, the decrypted ones after it.

#include "support/loopback_listener.h"

#include <QByteArray>
#include <QList>
#include <QSslCertificate>
#include <QSslKey>
#include <atomic>
#include <mutex>

namespace lum::test {

class TlsScriptedServer {
public:
    enum class Then {
        Close,     // closes once the client's first TLS bytes are in
        Garbage,   // answers them with bytes that are not TLS
        PlainText, // answers them with a POP3 line in the clear
        Silent,    // says nothing, ever
        Handshake, // does the handshake with chain and key, then answers every command +OK
    };
    struct Script {
        bool stls = false;
        Then then = Then::Silent;
        QList<QSslCertificate> chain; // leaf first
        QSslKey key;
    };

    explicit TlsScriptedServer(Script script);
    ~TlsScriptedServer();
    TlsScriptedServer(const TlsScriptedServer &) = delete;
    TlsScriptedServer &operator=(const TlsScriptedServer &) = delete;

    quint16 port() const { return listener_.port(); }
    int connections() const { return connections_; }
    // Some bytes arrived after the STLS +OK (or, for POP3S, at all).
    bool tlsBytesSeen() const { return tlsBytesSeen_; }
    QByteArray received() const;

private:
    void session(int fd);
    bool waitReadable(int fd);
    void keep(const QByteArray &bytes);

    Script script_;
    std::atomic<int> connections_{0};
    std::atomic<bool> tlsBytesSeen_{false};
    mutable std::mutex mutex_;
    QByteArray received_;
    LoopbackListener listener_; // last: its thread ends first
};

} // namespace lum::test
