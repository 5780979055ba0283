// lumwatchd --command on the checker's side: the six names in key order and nothing else;
// each line gets an answer and a known one runs; a file nobody listens at is taken; all close.
#include "checker/command_names.h"
#include "checker/command_server.h"

#include <QCoreApplication>
#include <QDir>
#include <QLocalSocket>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace lum {
namespace {

TEST(CommandNames, EachNameGivesItsKeyIndexAndNothingElseIsKnown)
{
    const std::pair<const char *, std::optional<int>> table[] = {
        {"options", 0}, {"check", 1}, {"show", 2}, {"mailer1", 3}, {"mailer2", 4}, {"exit", 5},
        {"", std::nullopt}, {"Check", std::nullopt}, {"check\n", std::nullopt},
        {" exit", std::nullopt}, {"mailer", std::nullopt}, {"mailer3", std::nullopt},
        {"exitnow", std::nullopt}, {"1", std::nullopt},
    };
    for (const auto &[name, index] : table)
        EXPECT_EQ(commandIndex(name), index) << name;
}

TEST(CommandServer, TakesAFileNobodyListensAtRunsAKnownLineAndClosesEveryConnection)
{
    const QString path = QDir::tempPath()
        + QStringLiteral("/lum-command-test-%1").arg(QCoreApplication::applicationPid());
    QFile(path).open(QIODevice::WriteOnly); // as a crash leaves it: connecting is refused
    CommandServer server;
    ASSERT_TRUE(server.listen(path)) << server.errorString().toStdString();
    EXPECT_FALSE(CommandServer().listen(path)); // taken: the rows still reach the first
    QSignalSpy received(&server, &CommandServer::commandReceived);
    const std::tuple<QByteArray, QList<int>, QByteArray> table[] = {
        {"check\n", {1}, "ok\n"}, {"exit\nshow\n", {5}, "ok\n"},
        {"nosuch\n", {}, "そのコマンドはありません\n"}, {"check\r\n", {}, "そのコマンドはありません\n"},
        {QByteArray(200, 'x') + "\ncheck\n", {}, "コマンドが長すぎます\n"},
    };
    for (const auto &[sent, expected, answer] : table) {
        QLocalSocket client;
        QSignalSpy closed(&client, &QLocalSocket::disconnected);
        client.connectToServer(path);
        ASSERT_TRUE(client.waitForConnected(1000));
        client.write(sent);
        EXPECT_TRUE(closed.wait(CommandServer::lineTimeoutMs / 2)) << sent.constData();
        EXPECT_EQ(client.readAll(), answer) << sent.constData();
        QList<int> got;
        for (const QList<QVariant> &signal : received)
            got << signal.at(0).toInt();
        received.clear();
        EXPECT_EQ(got, expected) << sent.constData();
    }
}

} // namespace
} // namespace lum
