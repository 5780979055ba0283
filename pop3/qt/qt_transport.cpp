#include "pop3/qt/qt_transport.h"

#include "pop3/qt/socket_error_code.h"

#include <QCryptographicHash>
#include <QPointer>
#include <QSslConfiguration>
#include <QSslSocket>
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

void QtTransport::addCaCertificates(const QList<QSslCertificate> &certificates)
{
    extraCas_ += certificates;
}

void QtTransport::adopt(ConnId id, QTcpSocket *s)
{
    if (socket_)
        forget(socket_);
    id_ = id;
    socket_ = s;
    connect(s, &QTcpSocket::connected, this, [this, id, s] {
        s->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        notify([&] { events_.connected(id); });
    });
    connect(s, &QTcpSocket::readyRead, this, [this, id, s] { readAvailable(id, s); });
    connect(s, &QTcpSocket::disconnected, this, [this, id, s] { peerClosed(id, s); });
    connect(s, &QTcpSocket::errorOccurred, this, [this, id, s](QAbstractSocket::SocketError e) {
        if (e == QAbstractSocket::SslHandshakeFailedError || e == QAbstractSocket::SslInternalError
            || e == QAbstractSocket::SslInvalidUserDataError) {
            cut(s);
            events_.tlsFailed(id, TlsError::Handshake, {});
            return;
        }
        // The end of stream is reported by disconnected(), after the last bytes.
        if (e == QAbstractSocket::RemoteHostClosedError && s->state() != QAbstractSocket::UnconnectedState)
            return;
        if (e == QAbstractSocket::RemoteHostClosedError)
            peerClosed(id, s);
        else
            events_.failed(id, socketErrorCode(e));
    });
}

QTcpSocket *QtTransport::openPlain(ConnId id)
{
    auto *s = new QTcpSocket(this);
    adopt(id, s);
    return s;
}

QSslSocket *QtTransport::openSsl(ConnId id)
{
    auto *s = new QSslSocket(this);
    adopt(id, s);
    if (!extraCas_.isEmpty()) {
        QSslConfiguration config = s->sslConfiguration();
        config.addCaCertificates(extraCas_);
        s->setSslConfiguration(config);
    }
    // QueryPeer would connect anyway after a refused certificate; VerifyPeer is the default
    // of a client, said here because everything below relies on it.
    s->setPeerVerifyMode(QSslSocket::VerifyPeer);
    connect(s, &QSslSocket::encrypted, this, [this, id] { notify([&] { events_.encrypted(id); }); });
    // Not ignored, so the handshake fails; the socket is cut here already, before anything
    // the engine might still write.
    connect(s, &QSslSocket::sslErrors, this, [this, id, s](const QList<QSslError> &errors) {
        const QByteArray fingerprint = s->peerCertificate().digest(QCryptographicHash::Sha256).toHex();
        if (!pin_.isEmpty() && fingerprint == pin_) {
            s->ignoreSslErrors(); // exactly the certificate the user trusts
            return;
        }
        QList<QSslError::SslError> kinds;
        for (const QSslError &e : errors)
            kinds.append(e.error());
        cut(s);
        events_.tlsFailed(id, tlsErrorOf(kinds), fingerprint);
    });
    return s;
}

template <typename Report> void QtTransport::notify(Report report)
{
    const bool outermost = !notifying_;
    notifying_ = true;
    report();
    if (outermost)
        notifying_ = false;
}

// QSslSocket also reads while it writes, and reports what it read at once: readyRead may
// come while the engine is still taking in earlier bytes, even in the middle of writing a
// command. The engine takes its events one at a time, so such bytes stay in the socket
// until it has returned.
void QtTransport::readAvailable(ConnId id, QTcpSocket *s)
{
    if (notifying_) {
        if (!readPending_) {
            readPending_ = true;
            QMetaObject::invokeMethod(
                this,
                [this, id, socket = QPointer<QTcpSocket>(s)] {
                    readPending_ = false;
                    if (socket && socket == socket_)
                        readAvailable(id, socket);
                },
                Qt::QueuedConnection);
        }
        return;
    }
    const QByteArray bytes = s->readAll();
    if (!bytes.isEmpty())
        notify([&] { events_.received(id, bytes); });
}

void QtTransport::open(ConnId id, const QString &host, quint16 port)
{
    openPlain(id)->connectToHost(host, port);
}

void QtTransport::openForStartTls(ConnId id, const QString &host, quint16 port)
{
    openSsl(id)->connectToHost(host, port);
}

void QtTransport::openTls(ConnId id, const QString &host, quint16 port, const QByteArray &pin)
{
    pin_ = pin;
    // The host is the name sent for SNI and the name the certificate must carry.
    openSsl(id)->connectToHostEncrypted(host, port);
}

void QtTransport::startTls(ConnId id, const QByteArray &pin)
{
    if (id != id_ || !socket_)
        return;
    auto *ssl = qobject_cast<QSslSocket *>(socket_);
    if (!ssl) { // opened with open(), which promised to stay plain
        cut(socket_);
        events_.tlsFailed(id, TlsError::Handshake, {});
        return;
    }
    pin_ = pin;
    ssl->startClientEncryption();
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

void QtTransport::peerClosed(ConnId id, QTcpSocket *s)
{
    // Gone in the middle of the handshake: the handshake failed, whatever the socket says.
    auto *ssl = qobject_cast<QSslSocket *>(s);
    if (ssl && ssl->mode() != QSslSocket::UnencryptedMode && !ssl->isEncrypted()) {
        cut(s);
        events_.tlsFailed(id, TlsError::Handshake, {});
        return;
    }
    events_.closed(id);
}

void QtTransport::cut(QTcpSocket *s)
{
    disconnect(s, nullptr, this, nullptr);
    s->abort();
    s->deleteLater();
    if (s == socket_)
        socket_ = nullptr;
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
