#pragma once
// The redirect of a browser sign-in, received on the loopback (RFC 8252 §7.3): a small HTTP
// listener on 127.0.0.1 at a port chosen now. Only a GET of the redirect path "/" whose
// state is the sign-in's own is taken, a success or an error alike (RFC 6749 §4.1.2 and
// §4.1.2.1); any other request is answered 400 and ignored, so that no other program on the
// machine can end the sign-in. Requests are bounded in size and time.

#include <QObject>
#include <QTcpServer>
#include <QUrlQuery>

namespace lum {

class LoopbackRedirect : public QObject {
    Q_OBJECT
public:
    LoopbackRedirect(const QString &state, const QString &page, QObject *parent = nullptr);

    // Listens on 127.0.0.1; false when no port could be had.
    bool listen();
    // "http://127.0.0.1:PORT/"
    QString redirectUri() const;
    void close();

signals:
    // The redirect's query, once its page has gone to the browser.
    void answered(const QUrlQuery &query);

private:
    void take(QTcpSocket *socket);
    void read(QTcpSocket *socket);
    bool accepted(const QByteArray &requestLine, QUrlQuery &query) const;

    QTcpServer server_;
    QString state_;
    QByteArray page_;
};

} // namespace lum
