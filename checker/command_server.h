#pragma once
// The local socket through which `lumwatchd --command NAME` reaches the running checker.
// Each connection may send one command name and a line end ("check\n"); the server closes
// it after that line. Anything else is ignored: an unknown name, a line longer than
// maxCommandLine bytes, a connection that closes or stays silent before its line ends.

#include <QLocalServer>
#include <QObject>
#include <QString>

class QLocalSocket;

namespace lum {

class CommandServer : public QObject {
    Q_OBJECT
public:
    static constexpr int maxCommandLine = 64;  // bytes, line end included
    static constexpr int lineTimeoutMs = 5000; // for a connection to send its line

    explicit CommandServer(QObject *parent = nullptr);

    // Listens at path, for this user alone. A socket file already there is replaced, so
    // only the copy that holds the single-instance lock may call this. False on failure,
    // with errorString() telling why.
    bool listen(const QString &path);
    QString errorString() const { return server_.errorString(); }

signals:
    // The key index (0..5) of a command received.
    void commandReceived(int index);

private:
    void accept();
    void read(QLocalSocket *socket);

    QLocalServer server_;
};

// $XDG_RUNTIME_DIR/lumwatchd.sock; without XDG_RUNTIME_DIR, in Qt's private runtime folder.
QString commandSocketPath();

} // namespace lum
