#pragma once
// The engine's transport over Qt's sockets: one socket per connection id. Bytes go in and
// out unchanged; errors are mapped to socket error numbers. A connection that stays plain
// uses a QTcpSocket, so a check of plain accounts never starts the TLS library. The socket of a connection the
// engine closes finishes sending, then goes away without reporting anything more.
//
// TLS (openTls, startTls) checks the server's certificate against the system's trust store
// (and any CA added for tests) and the account's host name, which also goes out as the
// server name (SNI). A certificate with any error is refused: the socket is aborted at once,
// so nothing written after the handshake reaches the server, and tlsFailed() names why.

#include "pop3/ports.h"

#include <QObject>

class QSslSocket;
class QTcpSocket;
class QSslCertificate;

namespace lum {

class QtTransport : public QObject, public Transport {
public:
    // events must outlive the transport; it may still be under construction here.
    explicit QtTransport(TransportEvents *events, QObject *parent = nullptr);
    ~QtTransport() override;

    void open(ConnId id, const QString &host, quint16 port) override;
    void openForStartTls(ConnId id, const QString &host, quint16 port) override;
    void openTls(ConnId id, const QString &host, quint16 port, const QByteArray &pin) override;
    void startTls(ConnId id, const QByteArray &pin) override;
    void send(ConnId id, const QByteArray &bytes) override;

    // Trusts these CAs as well as the system's (tests with a CA of their own).
    void addCaCertificates(const QList<QSslCertificate> &certificates);
    void close(ConnId id) override;

private:
    QTcpSocket *openPlain(ConnId id);
    QSslSocket *openSsl(ConnId id);
    // Takes s as the connection id's socket and wires the events every socket reports.
    void adopt(ConnId id, QTcpSocket *s);
    void forget(QTcpSocket *socket);
    // The end of stream: closed(), or tlsFailed() when it came during a handshake.
    void peerClosed(ConnId id, QTcpSocket *socket);
    // Aborts at once: nothing more goes out, nothing more is reported.
    void cut(QTcpSocket *socket);
    void readAvailable(ConnId id, QTcpSocket *socket);
    // Runs report (which tells the engine of an event) with later reads held back.
    template <typename Report> void notify(Report report);

    TransportEvents &events_;
    ConnId id_ = 0;
    QTcpSocket *socket_ = nullptr;
    QList<QSslCertificate> extraCas_;
    QByteArray pin_; // of the current connection
    bool notifying_ = false;
    bool readPending_ = false;
};

} // namespace lum
