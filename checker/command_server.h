#pragma once
// The local socket through which `lumwatchd --command NAME` reaches the running checker.
// Each connection may send one command name and a line end ("check\n"); the server answers
// with one line, "ok" once the command has been handed on, or why it was not, and closes the
// connection. A connection that closes or stays silent before its line ends gets no answer.
// At most maxConnections are served at once; each one more closes the oldest at once, so a
// flood of idle connections can neither use up the checker's files nor shut out a command.

#include <QList>
#include <QLocalServer>
#include <QObject>
#include <QString>
#include <QTimer>

class QLocalSocket;

namespace lum {

class CommandServer : public QObject {
    Q_OBJECT
public:
    static constexpr int maxCommandLine = 64;  // bytes, line end included
    static constexpr int lineTimeoutMs = 5000; // for a connection to send its line
    static constexpr int maxConnections = 8;
    static constexpr int relistenMs = 1000;    // how soon a server that stopped listens again

    explicit CommandServer(QObject *parent = nullptr);

    // Listens at path, for this user alone. A file already at path is replaced only when
    // connecting to it is refused, that is when nobody listens there any more. False on
    // failure, with errorString() telling why. Should the server stop listening later (no
    // files left to accept with, ...), it listens at path again.
    bool listen(const QString &path);
    QString errorString() const { return error_; }

signals:
    // The key index (0..5) of a command received.
    void commandReceived(int index);

private:
    void accept();
    void read(QLocalSocket *socket);
    void listenAgain();

    QList<QLocalSocket *> open_; // connections being served, oldest first
    QString path_;
    QString error_;
    QLocalServer server_;
    QTimer watch_;
};

} // namespace lum
