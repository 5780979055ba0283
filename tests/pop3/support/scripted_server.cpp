#include "support/scripted_server.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <mutex>

namespace lum::test {

ScriptedServer::ScriptedServer(QList<QByteArray> messages, Style style, Hook hook)
    : messages_(std::move(messages)), style_(style), hook_(std::move(hook)),
      listener_([this](int fd) {
          int one = 1;
          ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
          session(fd);
          ::close(fd);
      })
{
}

ScriptedServer::~ScriptedServer() = default;

QList<QByteArray> ScriptedServer::commands() const
{
    std::lock_guard lock(mutex_);
    return commands_;
}

void ScriptedServer::write(int fd, const QByteArray &bytes)
{
    const auto pause = [] { std::this_thread::sleep_for(std::chrono::milliseconds(2)); };
    switch (style_) {
    case Style::Whole:
        ::send(fd, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL);
        break;
    case Style::SplitAfterTwo:
        ::send(fd, bytes.constData(), size_t(std::min<qsizetype>(2, bytes.size())), MSG_NOSIGNAL);
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        if (bytes.size() > 2)
            ::send(fd, bytes.constData() + 2, size_t(bytes.size() - 2), MSG_NOSIGNAL);
        break;
    case Style::Drip:
        for (char c : bytes) {
            ::send(fd, &c, 1, MSG_NOSIGNAL);
            pause();
        }
        break;
    }
}

QByteArray ScriptedServer::normalAnswer(const QByteArray &command, bool &quit)
{
    const QList<QByteArray> w = command.split(' ');
    const QByteArray cmd = w[0].toUpper();
    const int n = w.value(1).toInt();
    if (cmd == "STAT") {
        qint64 size = 0;
        for (const QByteArray &m : messages_)
            size += m.size();
        return "+OK " + QByteArray::number(messages_.size()) + ' ' + QByteArray::number(size) + "\r\n";
    }
    if (cmd == "TOP" || cmd == "RETR") {
        if (n < 1 || n > messages_.size())
            return "-ERR no such message\r\n";
        QByteArray m = messages_[n - 1];
        if (cmd == "TOP")
            m = m.first(m.indexOf("\r\n\r\n") + 4);
        m.replace("\r\n.", "\r\n..");
        return "+OK\r\n" + m + ".\r\n";
    }
    if (cmd == "QUIT") {
        quit = true;
        return "+OK bye\r\n";
    }
    if (cmd == "CAPA" || cmd == "UIDL")
        return "-ERR unknown command\r\n"; // a server of RFC 1939 alone
    return "+OK\r\n";
}

void ScriptedServer::session(int fd)
{
    const auto act = [&](const QByteArray &command, const QByteArray &normal) {
        Action a = hook_ ? hook_(command) : Action{};
        if (a.silent)
            return !a.close;
        write(fd, a.reply.isEmpty() ? normal : a.reply);
        return !a.close;
    };
    if (!act("<greeting>", "+OK scripted ready\r\n"))
        return;
    QByteArray in;
    char buf[4096];
    while (!listener_.stopping()) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0)
            continue;
        const ssize_t got = ::recv(fd, buf, sizeof buf, 0);
        if (got <= 0)
            return;
        in.append(buf, got);
        qsizetype eol;
        while ((eol = in.indexOf("\r\n")) >= 0) {
            const QByteArray command = in.first(eol);
            in.remove(0, eol + 2);
            {
                std::lock_guard lock(mutex_);
                commands_.append(command);
            }
            bool quit = false;
            const QByteArray normal = normalAnswer(command, quit);
            if (!act(command, normal) || quit)
                return;
        }
    }
}

} // namespace lum::test
