#pragma once
// The engine's transport over QTcpSocket: one socket per connection id. Bytes go in and
// out unchanged; errors are mapped to socket error numbers. The socket of a connection the
// engine closes finishes sending, then goes away without reporting anything more.
//
// A transport for POP3 over TLS derives from this and replaces makeSocket().

#include "pop3/ports.h"

#include <QObject>

class QTcpSocket;

namespace lum {

class QtTransport : public QObject, public Transport {
public:
    // events must outlive the transport; it may still be under construction here.
    explicit QtTransport(TransportEvents *events, QObject *parent = nullptr);
    ~QtTransport() override;

    void open(ConnId id, const QString &host, quint16 port) override;
    void send(ConnId id, const QByteArray &bytes) override;
    void close(ConnId id) override;

protected:
    virtual QTcpSocket *makeSocket();

private:
    void forget(QTcpSocket *socket);

    TransportEvents &events_;
    ConnId id_ = 0;
    QTcpSocket *socket_ = nullptr;
};

} // namespace lum
