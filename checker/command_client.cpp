#include "checker/command_client.h"

#include "checker/command_names.h"
#include "checker/command_server.h"

#include <QLocalSocket>
#include <cstdio>

namespace lum {

namespace {

constexpr int waitMs = 5000;

const char usage[] = "使い方: lumwatchd --command 名前\n"
                     "名前: options, check, show, mailer1, mailer2, exit\n";

} // namespace

int sendCommand(int argc, char *args[])
{
    if (argc != 1 || !commandIndex(args[0])) {
        if (argc == 0)
            std::fputs("lumwatchd: --command にコマンドの名前がありません\n", stderr);
        else if (argc > 1)
            std::fprintf(stderr, "lumwatchd: 名前の後の引数は使いません: %s\n", args[1]);
        else
            std::fprintf(stderr, "lumwatchd: そのコマンドはありません: %s\n", args[0]);
        std::fputs(usage, stderr);
        return 2;
    }
    const QString path = commandSocketPath();
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(waitMs)) {
        std::fprintf(stderr, "lumwatchd: 起動しているチェッカーがありません(%s)\n",
                     qPrintable(path));
        return 1;
    }
    socket.write(QByteArray(args[0]) + '\n');
    if (!socket.waitForBytesWritten(waitMs) && socket.bytesToWrite() > 0) {
        std::fprintf(stderr, "lumwatchd: チェッカーにコマンドを送れません: %s\n",
                     qPrintable(socket.errorString()));
        return 1;
    }
    // The checker closes the connection once it has read the line.
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(waitMs);
    return 0;
}

} // namespace lum
