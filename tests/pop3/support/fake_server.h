#pragma once
// An in-memory POP3 server behind a fake transport. The engine's commands are answered
// from a model mailbox per host; replies are queued and handed to the engine by pump(), in
// chunks of a chosen size, so tests see every step without sockets or waiting.

#include "pop3/ports.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QStringList>
#include <deque>
#include <functional>
#include <optional>

namespace lum::test {

inline const QByteArray noReply = "<no reply>";

struct Mailbox {
    QByteArray user = "user";
    QByteArray pass = "pass";
    QList<QByteArray> messages; // raw messages, CR LF line ends
    QList<bool> deleted;        // committed deletions remove the entry from messages
    // Unique ids of the messages, for UIDL; none: UIDL is refused. They go with their message.
    QList<QByteArray> uidls;
    QByteArray capa; // the data lines of the CAPA reply; none: CAPA is refused

    // Behaviour of the server at this host.
    enum class Mode { Normal, Refuse, Silent, Greeting } mode = Mode::Normal;
    QByteArray greeting = "+OK POP3 ready\r\n";
    int chunk = 0; // reply chunk size; 0 = whole replies
    bool handOff = false;    // login and mailbox are two programs: a write's rest after an accepted PASS is lost
    bool oneAtATime = false; // a write of more than one command is never answered
    // TLS: STLS is answered +OK when offered; a handshake fails with tlsFailure when set.
    bool stls = true;
    std::optional<TlsError> tlsFailure;
    bool tlsSilent = false; // a handshake that never ends
    QByteArray refusedFingerprint; // told with tlsFailure
    // A hook that may replace the reply to a command (return an empty array to keep it, or
    // noReply to answer nothing from this command on).
    std::function<QByteArray(const QByteArray &command)> override;
};

class FakeServer : public Transport {
public:
    explicit FakeServer(TransportEvents &engine) : engine_(engine) {}

    QMap<QString, Mailbox> hosts; // "host:port"

    struct Conn {
        ConnId id = 0;
        QString host;
        QStringList commands; // as received, without CR LF
        QList<QByteArray> writes; // as the client wrote them
        bool closedByClient = false;
        QList<int> pendingDele;
        bool authed = false;
        bool openedTls = false;
        bool mayStartTls = false; // opened with openForStartTls()
        QByteArray pin; // given with the TLS request
        bool encrypted = false;
        QStringList clearCommands; // those received before the connection was encrypted
        bool hung = false; // answers nothing any more
    };
    QList<Conn> conns;

    void open(ConnId id, const QString &host, quint16 port) override { open(id, host, port, false); }
    void openForStartTls(ConnId id, const QString &host, quint16 port) override
    {
        open(id, host, port, false);
        conns.last().mayStartTls = true;
    }
    void openTls(ConnId id, const QString &host, quint16 port, const QByteArray &pin) override
    {
        open(id, host, port, true);
        conns.last().pin = pin;
    }

    void startTls(ConnId id, const QByteArray &pin) override
    {
        if (Conn *c = conn(id); c && !c->closedByClient) {
            c->pin = pin;
            // As the real transport: a connection opened to stay plain cannot be encrypted.
            if (!c->mayStartTls) {
                queue_.push_back({id, Ev::TlsFailed, {}, qint32(TlsError::Handshake)});
                return;
            }
            handshake(*c);
        }
    }

    void open(ConnId id, const QString &host, quint16 port, bool tls)
    {
        Conn c;
        c.id = id;
        c.host = host + QLatin1Char(':') + QString::number(port);
        c.openedTls = tls;
        conns.append(c);
        Mailbox *mb = box(c.host);
        if (!mb || mb->mode == Mailbox::Mode::Refuse) {
            queue_.push_back({id, Ev::Failed, {}, 10061});
            return;
        }
        queue_.push_back({id, Ev::Connected, {}, 0});
        if (tls && !handshake(conns.last()))
            return;
        if (mb->mode != Mailbox::Mode::Silent)
            reply(id, mb->greeting);
    }

    void send(ConnId id, const QByteArray &bytes) override
    {
        Conn *c = conn(id);
        if (!c || c->closedByClient)
            return;
        rawSent.append(bytes);
        c->writes.append(bytes);
        QList<QByteArray> lines = bytes.split('\n');
        lines.removeLast(); // after the last line end: the engine sends whole lines
        if (lines.size() > 1 && hosts[c->host].oneAtATime)
            c->hung = true;
        for (QByteArray line : lines) {
            if (line.endsWith('\r'))
                line.chop(1);
            {
                c->commands.append(QString::fromUtf8(line));
                if (!c->encrypted)
                    c->clearCommands.append(QString::fromUtf8(line));
                maxInFlight = std::max(maxInFlight, ++received_ - answered_);
                answering_ = true;
                answer(*c, line);
                answering_ = false;
            }
            if (c->authed && hosts[c->host].handOff && line.startsWith("PASS "))
                break;
        }
    }

    void close(ConnId id) override
    {
        if (Conn *c = conn(id))
            c->closedByClient = true;
    }

    // Delivers queued events until none is left (or max events).
    void pump(int max = 1000000)
    {
        while (!queue_.empty() && max-- > 0) {
            Event e = queue_.front();
            queue_.pop_front();
            switch (e.kind) {
            case Ev::Connected:
                engine_.connected(e.id);
                break;
            case Ev::Bytes:
                answered_ += e.endsAnswer;
                engine_.received(e.id, e.bytes);
                break;
            case Ev::Closed:
                engine_.closed(e.id);
                break;
            case Ev::Failed:
                engine_.failed(e.id, e.code);
                break;
            case Ev::Encrypted:
                engine_.encrypted(e.id);
                break;
            case Ev::TlsFailed:
                engine_.tlsFailed(e.id, TlsError(e.code), e.bytes);
                break;
            }
        }
    }

    // Raw events a test injects.
    void injectBytes(ConnId id, const QByteArray &b) { queue_.push_back({id, Ev::Bytes, b, 0}); }
    void injectClose(ConnId id) { queue_.push_back({id, Ev::Closed, {}, 0}); }
    void injectFailure(ConnId id, qint32 code) { queue_.push_back({id, Ev::Failed, {}, code}); }
    void dropQueue() { queue_.clear(); }

    ConnId lastId() const { return conns.isEmpty() ? 0 : conns.last().id; }
    QStringList commands(int connIndex) const { return conns.value(connIndex).commands; }
    QStringList allCommands() const
    {
        QStringList all;
        for (const Conn &c : conns)
            all += c.commands;
        return all;
    }
    QList<QByteArray> rawSent;
    // The most commands that were waiting for their replies at once (pipelining).
    int maxInFlight = 0;

private:
    enum class Ev { Connected, Bytes, Closed, Failed, Encrypted, TlsFailed };
    struct Event {
        ConnId id;
        Ev kind;
        QByteArray bytes;
        qint32 code;
        bool endsAnswer = false; // the last chunk of the reply to a command
    };
    int received_ = 0, answered_ = 0;

    bool handshake(Conn &c)
    {
        const Mailbox *mb = box(c.host);
        if (mb && mb->tlsSilent)
            return false;
        if (mb && mb->tlsFailure) {
            queue_.push_back({c.id, Ev::TlsFailed, mb->refusedFingerprint, qint32(*mb->tlsFailure)});
            return false;
        }
        c.encrypted = true;
        queue_.push_back({c.id, Ev::Encrypted, {}, 0});
        return true;
    }

    Mailbox *box(const QString &host) { return hosts.contains(host) ? &hosts[host] : nullptr; }
    // The latest connection with the id: an engine started anew counts from 1 again.
    Conn *conn(ConnId id)
    {
        for (qsizetype i = conns.size() - 1; i >= 0; --i) {
            if (conns[i].id == id)
                return &conns[i];
        }
        return nullptr;
    }

    void reply(ConnId id, const QByteArray &bytes)
    {
        const Conn *c = conn(id);
        const Mailbox *mb = c ? box(c->host) : nullptr;
        const int chunk = mb && mb->chunk > 0 ? mb->chunk : int(bytes.size());
        for (qsizetype i = 0; i < bytes.size(); i += chunk)
            queue_.push_back({id, Ev::Bytes, bytes.mid(i, chunk), 0});
        if (answering_ && !bytes.isEmpty())
            queue_.back().endsAnswer = true;
        else if (answering_)
            ++answered_;
    }
    bool answering_ = false;

    static QByteArray stuffed(const QByteArray &text)
    {
        QByteArray out;
        for (const QByteArray &line : text.split('\n')) {
            if (line.startsWith('.'))
                out += '.';
            out += line + '\n';
        }
        out.chop(1);
        if (!out.endsWith("\r\n"))
            out += "\r\n";
        return out;
    }

    void answer(Conn &c, const QByteArray &line)
    {
        Mailbox &mb = hosts[c.host];
        if (mb.mode == Mailbox::Mode::Silent || mb.mode == Mailbox::Mode::Greeting || c.hung)
            return;
        if (mb.override) {
            const QByteArray r = mb.override(line);
            if (r == noReply) {
                c.hung = true;
                return;
            }
            if (!r.isEmpty()) {
                reply(c.id, r);
                return;
            }
        }
        const QList<QByteArray> w = line.split(' ');
        const QByteArray cmd = w[0].toUpper();
        const auto number = [&](int i) { return w.size() > i ? w[i].toInt() : 0; };
        const auto exists = [&](int n) {
            return n >= 1 && n <= mb.messages.size() && !c.pendingDele.contains(n);
        };
        if (cmd == "STLS" && mb.stls) {
            reply(c.id, "+OK Begin TLS negotiation\r\n");
        } else if (cmd == "USER") {
            reply(c.id, "+OK\r\n");
        } else if (cmd == "PASS") {
            c.authed = w.value(1) == mb.pass;
            reply(c.id, c.authed ? "+OK logged in\r\n" : "-ERR [AUTH] Authentication failed.\r\n");
        } else if (cmd == "STAT") {
            qint64 size = 0;
            int count = 0;
            for (int n = 1; n <= mb.messages.size(); ++n) {
                if (exists(n)) {
                    ++count;
                    size += mb.messages[n - 1].size();
                }
            }
            reply(c.id, "+OK " + QByteArray::number(count) + ' ' + QByteArray::number(size) + "\r\n");
        } else if (cmd == "TOP" || cmd == "RETR") {
            const int n = number(1);
            if (!exists(n)) {
                reply(c.id, "-ERR There's no message " + QByteArray::number(n) + ".\r\n");
                return;
            }
            QByteArray msg = mb.messages[n - 1];
            if (cmd == "TOP") {
                const qsizetype end = msg.indexOf("\r\n\r\n");
                QByteArray head = end < 0 ? msg : msg.first(end + 4);
                QList<QByteArray> body = end < 0 ? QList<QByteArray>() : msg.mid(end + 4).split('\n');
                if (!body.isEmpty() && body.last().isEmpty())
                    body.removeLast();
                for (int i = 0; i < number(2) && i < body.size(); ++i)
                    head += body[i] + '\n';
                msg = head;
            }
            reply(c.id, "+OK " + QByteArray::number(msg.size()) + " octets\r\n" + stuffed(msg) + ".\r\n");
        } else if (cmd == "DELE") {
            const int n = number(1);
            if (!exists(n)) {
                reply(c.id, "-ERR no such message\r\n");
                return;
            }
            c.pendingDele.append(n);
            reply(c.id, "+OK Marked to be deleted.\r\n");
        } else if (cmd == "QUIT") {
            std::sort(c.pendingDele.begin(), c.pendingDele.end(), std::greater<int>());
            for (int n : c.pendingDele) {
                mb.messages.removeAt(n - 1);
                if (n <= mb.uidls.size())
                    mb.uidls.removeAt(n - 1);
            }
            c.pendingDele.clear();
            reply(c.id, "+OK Logging out.\r\n");
            queue_.push_back({c.id, Ev::Closed, {}, 0});
        } else if (cmd == "CAPA" && !mb.capa.isEmpty()) {
            reply(c.id, "+OK\r\n" + mb.capa + ".\r\n");
        } else if ((cmd == "UIDL" && mb.uidls.size() == mb.messages.size()) || (cmd == "LIST" && w.size() == 1)) {
            if (w.size() > 1) {
                const int n = number(1);
                reply(c.id, exists(n) ? "+OK " + QByteArray::number(n) + ' ' + mb.uidls[n - 1] + "\r\n"
                                      : QByteArray("-ERR no such message\r\n"));
                return;
            }
            QByteArray list = "+OK\r\n";
            for (int n = 1; n <= mb.messages.size(); ++n) {
                if (exists(n))
                    list += QByteArray::number(n) + ' '
                        + (cmd == "UIDL" ? mb.uidls[n - 1] : QByteArray::number(mb.messages[n - 1].size())) + "\r\n";
            }
            reply(c.id, list + ".\r\n");
        } else if (cmd == "NOOP") {
            reply(c.id, "+OK\r\n");
        } else {
            reply(c.id, "-ERR Unknown command\r\n");
        }
    }

    TransportEvents &engine_;
    std::deque<Event> queue_;
};

} // namespace lum::test
