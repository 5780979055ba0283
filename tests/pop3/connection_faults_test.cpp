// Connection failures and misbehaving servers: each is reported and the cycle goes on with
// the next account one second later, without waiting for the session time-out.
#include "pop3/reply_reader.h"
#include "settings/password.h"
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

// Account A as stored by hand or by another tool. Nothing of a record that can't be used
// as stored is sent anywhere; a port beyond 16 signed bits is still a port.
struct StoredCase {
    const char *name;
    const char *key;
    QString value;
    const char *connectsTo; // empty: no connection for account A
    const char *message;
};

class StoredAccount : public testing::TestWithParam<StoredCase> {};

TEST_P(StoredAccount, IsUsedAsStoredOrRefused)
{
    const StoredCase &c = GetParam();
    auto rig = twoAccounts();
    rig->server->hosts[QStringLiteral("h1:40000")];
    rig->temp.store().writeSetting(QString::fromLatin1(c.key), c.value);
    rig->engine->checkmail();
    rig->settle();
    EXPECT_EQ(rig->server->conns.first().host,
              *c.connectsTo ? QString::fromLatin1(c.connectsTo) : QStringLiteral("h2:110"));
    EXPECT_EQ(rig->view.messages, *c.message ? QStringList{QString::fromUtf8(c.message)} : QStringList());
    EXPECT_FALSE(rig->server->allCommands().contains(QStringLiteral("DELE 1")));
    EXPECT_EQ(rig->engine->total(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, StoredAccount,
    testing::Values(
        StoredCase{"port_40000", "Portno1", QStringLiteral("40000"), "h1:40000", ""},
        StoredCase{"port_70000", "Portno1", QStringLiteral("70000"), "", "ﾎﾟｰﾄ番号が正しくありません:70000"},
        StoredCase{"port_0", "Portno1", QStringLiteral("0"), "", "ﾎﾟｰﾄ番号が正しくありません:0"},
        StoredCase{"port_text", "Portno1", QStringLiteral("pop"), "", "ﾎﾟｰﾄ番号が正しくありません:pop"},
        StoredCase{"sslmode_text", "Sslmode1", QStringLiteral("tls"), "", "暗号化の設定が正しくありません:tls"},
        StoredCase{"sslmode_3", "Sslmode1", QStringLiteral("3"), "", "暗号化の設定が正しくありません:3"},
        StoredCase{"protocol_2", "Protocol1", QStringLiteral("2"), "", "受信方式の設定が正しくありません:2"},
        StoredCase{"password_with_crlf", "Passw1", scramblePassword(QStringLiteral("pass\r\nDELE 1")), "",
                   "ﾕｰｻﾞｰ名かﾊﾟｽﾜｰﾄﾞに改行などの使えない文字が含まれています"},
        StoredCase{"user_with_lf", "Uname1", QStringLiteral("user\nDELE 1"), "",
                   "ﾕｰｻﾞｰ名かﾊﾟｽﾜｰﾄﾞに改行などの使えない文字が含まれています"},
        StoredCase{"password_with_nul", "Passw1", scramblePassword(QStringLiteral("pa") + QChar(0) + "ss"), "",
                   "ﾕｰｻﾞｰ名かﾊﾟｽﾜｰﾄﾞに改行などの使えない文字が含まれています"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(Faults, RefusedPortThroughServerModel)
{
    auto rig = twoAccounts();
    rig->options.keepLog = true;
    rig->box(1).mode = Mailbox::Mode::Refuse;
    runFirstAccount(*rig);
    EXPECT_EQ(rig->view.messages, QStringList{QStringLiteral("接続が拒否されました")});
    EXPECT_TRUE(rig->engine->log().isEmpty()); // no QUIT went out
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

TEST(Faults, OverlongLineKeepsAPrefixAndTheCheckGoesOn)
{
    Rig rig({{QStringLiteral("A")}}, {{"Option3value", QStringLiteral("0")}});
    rig.box(1).messages = {jpMessage(wYamada, wTest, "a1@x", QByteArray(600 * 1024, 'x') + "\r\n"),
                           jpMessage(wBill, wMeeting, "a2@x")};
    rig.box(1).chunk = 4096;
    rig.engine->checkmail();
    rig.settle();
    EXPECT_TRUE(rig.view.messages.isEmpty()) << rig.view.messages.join('|').toStdString();
    EXPECT_EQ(rig.rec(1, 2).subject, QStringLiteral("会議の件"));
    EXPECT_EQ(rig.engine->previousCount(1), 2);
}

TEST(Faults, EndlessTopReplyEndsTheSession)
{
    auto rig = twoAccounts();
    rig->box(1).messages = {jpMessage(wYamada, wTest, "a1@x")};
    rig->box(1).override = [](const QByteArray &cmd) -> QByteArray {
        return cmd.startsWith("TOP") ? "+OK\r\n" + QByteArray("X-Noise: 0123456789abcdef\r\n").repeated(700000)
                                     : QByteArray();
    };
    rig->box(1).chunk = 1024 * 1024;
    runFirstAccount(*rig);
    EXPECT_EQ(rig->view.messages, QStringList{QStringLiteral("ｻｰﾊﾞｰからの応答が大きすぎます")});
    EXPECT_TRUE(rig->server->conns[0].closedByClient);
    rig->settle();
    EXPECT_EQ(rig->server->conns.size(), 2);
    EXPECT_EQ(rig->view.checkEnds.size(), 1);
}

// "accountno" beyond the stored records: numbers without a host cost neither a pause nor a
// message each.
TEST(Faults, AccountsWithoutHostAreSkippedAtOnceWithOneMessage)
{
    auto rig = std::make_unique<Rig>(
        QList<TestAccount>{{QStringLiteral("A"), QStringLiteral("   ")}, {QStringLiteral("B"), QStringLiteral("h2")}},
        QList<std::pair<const char *, QString>>{{"Option3value", QStringLiteral("0")},
                                                {"Timeupval", QStringLiteral("0")}});
    rig->temp.store().writeSetting(QStringLiteral("accountno"), QStringLiteral("300"));
    loadOptions(rig->temp.store(), rig->options);
    rig->table.reset(rig->options.accountno);
    rig->engine->checkmail();
    EXPECT_EQ(rig->view.messages, QStringList{QStringLiteral("相手先が指定されていません")});
    ASSERT_EQ(rig->server->conns.size(), 1);
    EXPECT_EQ(rig->server->conns[0].host, QStringLiteral("h2:110"));
    rig->settle();
    EXPECT_EQ(rig->view.messages.size(), 1);
    EXPECT_EQ(rig->view.checkEnds.size(), 1);
    EXPECT_LE(rig->timers.now(), 2000);
    // A delete and the check that follows it (lumcheck --delete) don't say it again.
    rig->box(2).messages = {jpMessage(wYamada, wTest, "m1@example.jp")};
    rig->engine->checkmail();
    rig->settle();
    rig->rec(2, 1).mark = true;
    rig->engine->deleteMarked();
    rig->settle();
    EXPECT_EQ(rig->view.messages.size(), 2); // one per checkmail
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
