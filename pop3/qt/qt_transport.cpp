#include "pop3/qt/qt_transport.h"

#include "pop3/qt/socket_error_code.h"

#include <QTcpSocket>
#include <QTimer>

namespace lum {

namespace {
// How long a closed connection may take to send what is left before it is cut.
constexpr int lingerMs = 10000;
} // namespace

QtTransport::QtTransport(TransportEvents *events, QObject *parent)
    : QObject(parent), events_(*events)
{
}

QtTransport::~QtTransport()
{
    if (socket_)
        forget(socket_);
}

QTcpSocket *QtTransport::makeSocket()
{
    return new QTcpSocket(this);
}

void QtTransport::open(ConnId id, const QString &host, quint16 port)
{
    if (socket_)
        forget(socket_);
    id_ = id;
    QTcpSocket *s = makeSocket();
    socket_ = s;
    connect(s, &QTcpSocket::connected, this, [this, id, s] {
        s->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        events_.connected(id);
    });
    connect(s, &QTcpSocket::readyRead, this, [this, id, s] {
        const QByteArray bytes = s->readAll();
        if (!bytes.isEmpty())
            events_.received(id, bytes);
    });
    connect(s, &QTcpSocket::disconnected, this, [this, id] { events_.closed(id); });
    connect(s, &QTcpSocket::errorOccurred, this, [this, id, s](QAbstractSocket::SocketError e) {
        // The end of stream is reported by disconnected(), after the last bytes.
        if (e == QAbstractSocket::RemoteHostClosedError && s->state() != QAbstractSocket::UnconnectedState)
            return;
        if (e == QAbstractSocket::RemoteHostClosedError)
            events_.closed(id);
        else
            events_.failed(id, socketErrorCode(e));
    });
    s->connectToHost(host, port);
}

void QtTransport::send(ConnId id, const QByteArray &bytes)
{
    if (id == id_ && socket_) {
        socket_->write(bytes);
        // Out now rather than on the next turn of the event loop: every command waits
        // for its reply, so a delayed write is pure latency.
        socket_->flush();
    }
}

void QtTransport::close(ConnId id)
{
    if (id == id_ && socket_) {
        forget(socket_);
        socket_ = nullptr;
    }
}

void QtTransport::forget(QTcpSocket *s)
{
    disconnect(s, nullptr, this, nullptr);
    if (s->state() == QAbstractSocket::UnconnectedState) {
        s->deleteLater();
        return;
    }
    connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
    QTimer::singleShot(lingerMs, s, [s] {
        s->abort();
        s->deleteLater();
    });
    s->disconnectFromHost();
}

} // namespace lum
