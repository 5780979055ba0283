// Connection failures and misbehaving servers: each is reported and the cycle goes on with
// the next account one second later, without waiting for the session time-out.
#include "pop3/reply_reader.h"
#include "support/rig.h"

#include <gtest/gtest.h>

namespace lum::test {
namespace {

std::unique_ptr<Rig> twoAccounts()
{
    auto rig = std::make_unique<Rig>(
        QList<TestAccount>{{QStringLiteral("A"), QStringLiteral("h1")}, {QStringLiteral("B"), QStringLiteral("h2")}},
        QList<std::pair<const char *, QString>>{{"Option3value", QStringLiteral("0")}});
    rig->box(2).messages = {jpMessage(wYamada, wTest, "b1@x")};
    return rig;
}

// Runs the cycle up to the point where account A's session has ended.
void runFirstAccount(Rig &rig)
{
    rig.engine->checkmail();
    rig.server->pump();
}

void expectNextAccountAfterOneSecond(Rig &rig)
{
    EXPECT_TRUE(rig.timers.active(TimerId::Logon));
    EXPECT_EQ(rig.timers.interval(TimerId::Logon), 1000);
    rig.settle();
    EXPECT_EQ(rig.server->conns.size(), 2);
    EXPECT_EQ(rig.engine->total(), 1);
    EXPECT_EQ(rig.view.checkEnds.size(), 1);
    EXPECT_LT(rig.timers.now(), 60000);
}

struct FailCase {
    const char *name;
    qint32 code;
    const char *text;
};

class ConnectFailure : public testing::TestWithParam<FailCase> {};

TEST_P(ConnectFailure, IsReportedAndCycleGoesOn)
{
    auto rig = twoAccounts();
    rig->engine->checkmail();
    rig->server->dropQueue();
    rig->server->injectFailure(rig->server->lastId(), GetParam().code);
    rig->server->pump();
    EXPECT_EQ(rig->view.messages, QStringList{QString::fromUtf8(GetParam().text)});
    EXPECT_TRUE(rig->server->commands(0).isEmpty()); // nothing sent on a dead connection
    expectNextAccountAfterOneSecond(*rig);
}

INSTANTIATE_TEST_SUITE_P(Faults, ConnectFailure,
                         testing::Values(FailCase{"refused", 10061, "接続が拒否されました"},
                                         FailCase{"host_not_found", 11001, "ﾎｽﾄが見つかりません"},
                                         FailCase{"timed_out", 10060, "接続処理ﾀｲﾑｱｳﾄ"},
                                         FailCase{"unreachable", 10065, "ﾎｽﾄへのﾙｰﾄが存在しません"},
                                         FailCase{"unknown_code", -1002, "(-1002)"}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(Faults, RefusedPortThroughServerModel)
{
    auto rig = twoAccounts();
    rig->box(1).mode = Mailbox::Mode::Refuse;
    runFirstAccount(*rig);
    EXPECT_EQ(rig->view.messages, QStringList{QStringLiteral("接続が拒否されました")});
    expectNextAccountAfterOneSecond(*rig);
}

TEST(Faults, ServerClosingMidSessionIsAReadFailure)
{
    auto rig = twoAccounts();
    rig->box(1).messages = {jpMessage(wYamada, wTest, "a1@x")};
    rig->box(1).override = [](const QByteArray &cmd) -> QByteArray {
        return cmd.startsWith("TOP") ? QByteArray("+OK\r\nSubject: half") : QByteArray();
    };
    runFirstAccount(*rig);
    rig->server->injectClose(rig->server->lastId());
    rig->server->pump();
    EXPECT_EQ(rig->view.messages, QStringList{QStringLiteral("ﾘﾓｰﾄﾎｽﾄから切断されました")});
    EXPECT_EQ(rig->server->commands(0).last(), QStringLiteral("TOP 1 5")); // no QUIT on a closed line
    rig->box(2).messages.clear();
    rig->settle();
    EXPECT_EQ(rig->server->conns.size(), 2);
    EXPECT_LT(rig->timers.now(), 60000);
}

TEST(Faults, ClosingAfterQuitWithoutReplyIsTheNormalEnd)
{
    auto rig = twoAccounts();
    rig->box(1).override = [](const QByteArray &cmd) -> QByteArray {
        return cmd == "QUIT" ? QByteArray("* going\r\n") : QByteArray();
    };
    runFirstAccount(*rig);
    rig->server->injectClose(rig->server->lastId());
    rig->server->pump();
    EXPECT_TRUE(rig->view.messages.isEmpty());
    expectNextAccountAfterOneSecond(*rig);
}

TEST(Faults, ReadErrorIsReported)
{
    auto rig = twoAccounts();
    rig->engine->checkmail();
    rig->server->pump(1); // connected
    rig->server->dropQueue();
    rig->server->injectFailure(rig->server->lastId(), 10054);
    rig->server->pump();
    EXPECT_EQ(rig->view.messages, QStringList{QStringLiteral("ﾘﾓｰﾄﾎｽﾄから切断されました")});
    expectNextAccountAfterOneSecond(*rig);
}

TEST(Faults, OverlongLineEndsSession)
{
    auto rig = twoAccounts();
    rig->box(1).messages = {jpMessage(wYamada, wTest, "a1@x")};
    rig->box(1).override = [](const QByteArray &cmd) -> QByteArray {
        return cmd.startsWith("TOP") ? "+OK\r\n" + QByteArray(ReplyReader::maxLineLength + 1, 'x')
                                     : QByteArray();
    };
    rig->box(1).chunk = 4096;
    runFirstAccount(*rig);
    EXPECT_EQ(rig->view.messages, QStringList{QStringLiteral("ｻｰﾊﾞｰからの応答行が長すぎます")});
    EXPECT_TRUE(rig->server->conns[0].closedByClient);
    rig->box(2).messages.clear();
    rig->settle();
    EXPECT_EQ(rig->server->conns.size(), 2);
}

TEST(Faults, EmptyHostIsReportedAndCycleGoesOnWithoutTimeout)
{
    auto rig = std::make_unique<Rig>(
        QList<TestAccount>{{QStringLiteral("A"), QStringLiteral("   ")}, {QStringLiteral("B"), QStringLiteral("h2")}},
        QList<std::pair<const char *, QString>>{{"Option3value", QStringLiteral("0")},
                                                {"Timeupval", QStringLiteral("0")}});
    rig->engine->checkmail();
    EXPECT_EQ(rig->view.messages, QStringList{QStringLiteral("相手先が指定されていません")});
    EXPECT_TRUE(rig->server->conns.isEmpty());
    rig->timers.advance(1000);
    EXPECT_EQ(rig->server->conns.size(), 1);
    EXPECT_EQ(rig->server->conns[0].host, QStringLiteral("h2:110"));
}

TEST(Faults, SplitStatusLineDoesNotStall)
{
    auto rig = twoAccounts();
    rig->box(1).greeting = "+O";
    runFirstAccount(*rig);
    EXPECT_TRUE(rig->server->commands(0).isEmpty());
    rig->server->injectBytes(rig->server->lastId(), "K ready\r\n");
    rig->server->pump();
    EXPECT_EQ(rig->server->commands(0).value(0), QStringLiteral("USER user"));
}

} // namespace
} // namespace lum::test
