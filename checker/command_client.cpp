#include "checker/command_client.h"

#include "checker/command_names.h"
#include "checker/command_socket.h"

#include <QDeadlineTimer>
#include <QLocalSocket>
#include <cstdio>

namespace lum {

namespace {

const char usage[] = "使い方: lumwatchd --command 名前\n"
                     "名前: options, check, show, mailer1, mailer2, exit\n";

int noAnswer()
{
    std::fputs("lumwatchd: チェッカーが応答しません\n", stderr);
    return 3;
}

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
    const CommandSocketPlace place = commandSocketPlace();
    if (place.path.isEmpty()) {
        std::fprintf(stderr, "lumwatchd: %s\n", qPrintable(place.failure));
        return 1;
    }
    const QDeadlineTimer deadline(answerWaitMs);
    QLocalSocket socket;
    socket.connectToServer(place.path);
    if (!socket.waitForConnected(int(deadline.remainingTime()))) {
        if (socket.error() == QLocalSocket::SocketTimeoutError)
            return noAnswer();
        std::fprintf(stderr, "lumwatchd: 起動しているチェッカーがありません(%s)\n",
                     qPrintable(place.path));
        return 1;
    }
    socket.write(QByteArray(args[0]) + '\n');
    // The checker answers with one line and closes the connection.
    while (!socket.canReadLine() && socket.state() == QLocalSocket::ConnectedState
           && !deadline.hasExpired())
        socket.waitForReadyRead(int(deadline.remainingTime()));
    if (!socket.canReadLine())
        return noAnswer();
    const QByteArray answer = socket.readLine().trimmed();
    if (answer == "ok")
        return 0;
    std::fprintf(stderr, "lumwatchd: チェッカーがコマンドを受け付けません: %s\n", answer.constData());
    return 2;
}

} // namespace lum
