#include "checker/command_server.h"

#include "checker/command_names.h"

#include <QLocalSocket>
#include <QStandardPaths>
#include <QTimer>

namespace lum {

CommandServer::CommandServer(QObject *parent) : QObject(parent)
{
    connect(&server_, &QLocalServer::newConnection, this, &CommandServer::accept);
}

bool CommandServer::listen(const QString &path)
{
    QLocalServer::removeServer(path);
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    return server_.listen(path);
}

void CommandServer::accept()
{
    while (QLocalSocket *socket = server_.nextPendingConnection()) {
        // Qt buffers no more than one line may hold; read() drops a fuller buffer.
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
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() >= maxCommandLine) {
            socket->abort();
            socket->deleteLater();
        }
        return;
    }
    QByteArray line = socket->readLine(maxCommandLine + 1);
    socket->disconnectFromServer();
    socket->deleteLater();
    line.chop(1); // the line end
    if (const std::optional<int> index = commandIndex(line))
        emit commandReceived(*index);
}

QString commandSocketPath()
{
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return folder + QStringLiteral("/lumwatchd.sock");
}

} // namespace lum
