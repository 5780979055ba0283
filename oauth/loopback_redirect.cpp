#include "oauth/loopback_redirect.h"

#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

namespace lum {

namespace {

constexpr qsizetype maxRequestBytes = 16 * 1024;
constexpr int requestTimeoutMs = 10'000;

QByteArray response(const char *status, const QByteArray &body)
{
    return QByteArray("HTTP/1.1 ") + status + "\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: "
        + QByteArray::number(body.size()) + "\r\nConnection: close\r\nCache-Control: no-store\r\n\r\n" + body;
}

} // namespace

LoopbackRedirect::LoopbackRedirect(const QString &state, const QString &page, QObject *parent)
    : QObject(parent), state_(state),
      page_("<!DOCTYPE html><html><head><meta charset=\"utf-8\"></head><body><p>"
            + page.toHtmlEscaped().toUtf8() + "</p></body></html>")
{
    connect(&server_, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = server_.nextPendingConnection())
            take(socket);
    });
}

bool LoopbackRedirect::listen()
{
    return server_.listen(QHostAddress::LocalHost, 0);
}

QString LoopbackRedirect::redirectUri() const
{
    return QStringLiteral("http://127.0.0.1:%1/").arg(server_.serverPort());
}

void LoopbackRedirect::close()
{
    server_.close();
}

void LoopbackRedirect::take(QTcpSocket *socket)
{
    socket->setParent(this);
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
    QTimer::singleShot(requestTimeoutMs, socket, [socket] { socket->abort(), socket->deleteLater(); });
}

void LoopbackRedirect::read(QTcpSocket *socket)
{
    if (socket->property("answered").toBool())
        return;
    QByteArray buffered = socket->property("buffered").toByteArray() + socket->readAll();
    const qsizetype end = buffered.indexOf("\r\n\r\n");
    if (end < 0 && buffered.size() <= maxRequestBytes) {
        socket->setProperty("buffered", buffered);
        return;
    }
    socket->setProperty("answered", true);
    QUrlQuery query;
    const bool ok = end >= 0 && accepted(buffered.left(buffered.indexOf("\r\n")), query);
    socket->write(ok ? response("200 OK", page_) : response("400 Bad Request", "<html><body>400</body></html>"));
    socket->disconnectFromHost();
    if (ok)
        QTimer::singleShot(0, this, [this, query] { emit answered(query); });
}

// "GET /?...&state=<ours>... HTTP/1.1"
bool LoopbackRedirect::accepted(const QByteArray &requestLine, QUrlQuery &query) const
{
    const QList<QByteArray> parts = requestLine.split(' ');
    if (parts.size() != 3 || parts[0] != "GET" || !parts[2].startsWith("HTTP/1."))
        return false;
    const QUrl target = QUrl::fromEncoded(QByteArray("http://127.0.0.1") + parts[1], QUrl::StrictMode);
    if (!target.isValid() || target.path() != QLatin1String("/"))
        return false;
    query = QUrlQuery(target);
    const QStringList states = query.allQueryItemValues(QStringLiteral("state"), QUrl::FullyDecoded);
    return states.size() == 1 && states[0] == state_;
}

} // namespace lum
