#include "support/tls_scripted_server.h"

#include <QSslConfiguration>
#include <QSslSocket>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace lum::test {

TlsScriptedServer::TlsScriptedServer(Script script)
    : script_(std::move(script)), listener_([this](int fd) {
          ++connections_;
          session(fd); // closes fd
      })
{
}

TlsScriptedServer::~TlsScriptedServer() = default;

QByteArray TlsScriptedServer::received() const
{
    std::lock_guard lock(mutex_);
    return received_;
}

void TlsScriptedServer::keep(const QByteArray &bytes)
{
    std::lock_guard lock(mutex_);
    received_ += bytes;
}

// Until fd has bytes to read (true) or the server stops.
bool TlsScriptedServer::waitReadable(int fd)
{
    while (!listener_.stopping()) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 50) > 0)
            return true;
    }
    return false;
}

void TlsScriptedServer::session(int fd)
{
    const auto say = [fd](const QByteArray &bytes) { ::send(fd, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL); };
    char buf[16384];
    if (script_.stls) {
        say("+OK scripted ready\r\n");
        QByteArray line;
        while (!line.endsWith("\r\n") && waitReadable(fd)) {
            const ssize_t got = ::recv(fd, buf, 1, 0); // a byte at a time: nothing after the line is taken
            if (got <= 0)
                break;
            line.append(buf, got);
        }
        keep(line);
        if (line != "STLS\r\n") {
            ::close(fd);
            return;
        }
        say("+OK begin TLS\r\n");
    }
    if (script_.then == Then::Handshake) {
        // The first bytes are looked at, not taken, so that the handshake still gets them.
        if (waitReadable(fd)) {
            const ssize_t got = ::recv(fd, buf, sizeof buf, MSG_PEEK);
            if (got > 0) {
                keep(QByteArray(buf, got));
                tlsBytesSeen_ = true;
            }
        }
        QSslSocket s;
        QSslConfiguration config = s.sslConfiguration();
        config.setLocalCertificateChain(script_.chain);
        config.setPrivateKey(script_.key);
        config.setPeerVerifyMode(QSslSocket::VerifyNone);
        s.setSslConfiguration(config);
        if (!s.setSocketDescriptor(fd)) {
            ::close(fd);
            return;
        }
        s.startServerEncryption();
        while (!listener_.stopping() && !s.isEncrypted() && s.state() == QAbstractSocket::ConnectedState)
            s.waitForEncrypted(50);
        if (s.isEncrypted() && !script_.stls)
            s.write("+OK scripted TLS ready\r\n");
        QByteArray in;
        while (!listener_.stopping() && s.isEncrypted() && s.state() == QAbstractSocket::ConnectedState) {
            s.waitForBytesWritten(50);
            // What came with the end of the handshake is already buffered and signals nothing.
            if (s.bytesAvailable() == 0 && !s.waitForReadyRead(50))
                continue;
            const QByteArray bytes = s.readAll();
            keep(bytes);
            in += bytes;
            qsizetype eol;
            while ((eol = in.indexOf("\r\n")) >= 0) {
                const QByteArray command = in.first(eol).toUpper();
                in.remove(0, eol + 2);
                s.write(command.startsWith("STAT")   ? "+OK 0 0\r\n"
                        : command.startsWith("CAPA") ? "-ERR\r\n"
                                                     : "+OK\r\n");
            }
        }
        s.abort(); // closes fd
        return;
    }
    if (!waitReadable(fd)) {
        ::close(fd);
        return;
    }
    const ssize_t got = ::recv(fd, buf, sizeof buf, 0);
    if (got > 0) {
        keep(QByteArray(buf, got));
        tlsBytesSeen_ = true;
    }
    switch (script_.then) {
    case Then::Close:
        break;
    case Then::Garbage:
        static constexpr char garbage[] = "\0\xff\xfe not TLS at all \x01\x02\x03\r\n";
        say(QByteArray(garbage, sizeof garbage - 1));
        break;
    case Then::PlainText:
        say("+OK POP3 in the clear\r\n");
        break;
    case Then::Silent:
    case Then::Handshake:
        break;
    }
    // Anything more the client sends is kept until it closes or the server stops.
    while (script_.then != Then::Close && waitReadable(fd)) {
        const ssize_t more = ::recv(fd, buf, sizeof buf, 0);
        if (more <= 0)
            break;
        keep(QByteArray(buf, more));
    }
    ::close(fd);
}

} // namespace lum::test
