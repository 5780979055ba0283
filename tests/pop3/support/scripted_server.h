#pragma once
// A POP3 server with scripted misbehaviour, on a real socket at 127.0.0.1, served from its
// own thread with plain blocking sockets. It answers like a small POP3 server over a fixed
// mailbox; each reply passes through the write style of the script (split, drip, ...), and
// a hook may replace the reply to any command or cut the connection.

#include "support/loopback_listener.h"

#include <QByteArray>
#include <QList>
#include <functional>
#include <mutex>

namespace lum::test {

class ScriptedServer {
public:
    enum class Style { Whole, SplitAfterTwo, Drip };
    struct Action {
        QByteArray reply;   // written with the style
        bool close = false; // then the connection is closed
        bool silent = false; // nothing is written
    };
    // Return an empty Action to get the normal answer.
    using Hook = std::function<Action(const QByteArray &command)>;

    ScriptedServer(QList<QByteArray> messages, Style style, Hook hook = {});
    ~ScriptedServer();

    quint16 port() const { return listener_.port(); }
    QList<QByteArray> commands() const;

private:
    void session(int fd);
    void write(int fd, const QByteArray &bytes);
    QByteArray normalAnswer(const QByteArray &command, bool &quit);

    QList<QByteArray> messages_;
    Style style_;
    Hook hook_;
    mutable std::mutex mutex_;
    QList<QByteArray> commands_;
    LoopbackListener listener_; // last: its thread ends first
};

} // namespace lum::test
