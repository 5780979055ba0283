#include "checker/command_server.h"

#include "checker/command_names.h"

#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace lum {
namespace {

// Whether connecting to the socket file at path is refused: nobody listens there. A socket
// that takes the connection, or can't take it now (a full queue), belongs to a live process.
bool refusedAt(const QString &path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    if (size_t(name.size()) >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool refused = ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0
                         && errno == ECONNREFUSED;
    ::close(fd);
    return refused;
}

void answer(QLocalSocket *socket, const QByteArray &line)
{
    socket->write(line + '\n');
    socket->disconnectFromServer(); // after the answer has been written
}

} // namespace

CommandServer::CommandServer(QObject *parent) : QObject(parent)
{
    connect(&server_, &QLocalServer::newConnection, this, &CommandServer::accept);
    watch_.setInterval(relistenMs);
    connect(&watch_, &QTimer::timeout, this, &CommandServer::listenAgain);
}

bool CommandServer::listen(const QString &path)
{
    path_ = path;
    const QFileInfo file(path);
    if (file.exists() || file.isSymLink()) {
        if (!refusedAt(path)) {
            error_ = QStringLiteral("別のプログラムが使っています");
            return false;
        }
        QFile::remove(path);
    }
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    if (server_.listen(path)) {
        watch_.start();
        return true;
    }
    error_ = server_.errorString();
    return false;
}

// Qt closes a server whose accept fails (EMFILE, ENFILE, ...) and removes its socket file.
void CommandServer::listenAgain()
{
    if (!server_.isListening())
        listen(path_);
}

void CommandServer::accept()
{
    while (QLocalSocket *socket = server_.nextPendingConnection()) {
        if (open_.size() >= maxConnections) {
            // A client sends its line at once: the oldest connection is the idlest.
            QLocalSocket *oldest = open_.takeFirst();
            oldest->abort();
            oldest->deleteLater();
        }
        open_.append(socket);
        connect(socket, &QObject::destroyed, this, [this, socket] { open_.removeOne(socket); });
        // Qt buffers no more than one line may hold; read() refuses a fuller buffer.
        socket->setReadBufferSize(maxCommandLine);
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { read(socket); });
        QTimer::singleShot(lineTimeoutMs, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
    }
}

void CommandServer::read(QLocalSocket *socket)
{
    if (socket->state() != QLocalSocket::ConnectedState)
        return; // answered already
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() >= maxCommandLine)
            answer(socket, QByteArrayLiteral("コマンドが長すぎます"));
        return;
    }
    QByteArray line = socket->readLine(maxCommandLine + 1);
    line.chop(1); // the line end
    const std::optional<int> index = commandIndex(line);
    if (!index) {
        answer(socket, QByteArrayLiteral("そのコマンドはありません"));
        return;
    }
    answer(socket, QByteArrayLiteral("ok"));
    emit commandReceived(*index);
}

} // namespace lum
