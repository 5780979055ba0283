// End-to-end against a private Dovecot: lumcheck as the user runs it, and the engine on
// real sockets where a test needs to change the mailbox or the clock between steps.
#include "support/dovecot_server.h"
#include "support/live_rig.h"
#include "support/lumcheck_run.h"

#include <QFile>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <gtest/gtest.h>

namespace lum::test {
namespace {

QList<QByteArray> japaneseMail()
{
    return {jpMessage(wYamada, wTest, "d1@example.jp", "\x1b$B0lDLL\x5c$NK\x5cJ8\x1b(B\r\n"),
            jpMessage(wBill, wMeeting, "d2@example.jp", "second\r\n.dotted\r\n"),
            jpMessage(wYamada, wHello, "d3@example.jp", "third\r\n")};
}

class Dovecot : public testing::Test {
protected:
    DovecotServer server;
    QTemporaryDir config;

    void SetUp() override
    {
        server.addUser(QStringLiteral("taro"), QStringLiteral("secret"));
        ASSERT_TRUE(server.start()) << server.error().toStdString();
    }

    void deliverAll()
    {
        for (const QByteArray &m : japaneseMail())
            server.deliver(QStringLiteral("taro"), m);
    }

    TestAccount account(const QString &name = QStringLiteral("ホーム"), const QString &pass = QStringLiteral("secret"))
    {
        return {name, QStringLiteral("127.0.0.1"), server.port(), QStringLiteral("taro"), pass};
    }

    // The settings store of lumcheck in its own XDG_CONFIG_HOME.
    void writeSettings(const QList<TestAccount> &accounts, const QList<std::pair<const char *, QString>> &settings = {})
    {
        SettingsStore s(config.filePath(QStringLiteral("lumwatch/lumwatch.ini")));
        writeTestSettings(s, accounts, settings);
    }

    using Run = LumcheckRun;
    Run lumcheck(const QStringList &args) { return runLumcheck(config.path(), args); }
};

TEST_F(Dovecot, LumcheckListsDecodedJapaneseMessages)
{
    deliverAll();
    writeSettings({account()});
    const Run r = lumcheck({});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("1\t1\t0\t山田太郎 <a@example.jp>\tテスト\n"
                                    "1\t2\t0\t請求書 <a@example.jp>\t会議の件\n"
                                    "1\t3\t0\t山田太郎 <a@example.jp>\tこんにちは\n"));
    EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString() << server.log().toStdString();
}

// lumcheck only reads the store: a store that others can read gets one warning line, and
// the check goes on; the mode is left to the programs that write.
TEST_F(Dovecot, LumcheckWarnsOnceAboutAStoreOthersCanRead)
{
    deliverAll();
    writeSettings({account()});
    const QString ini = config.filePath(QStringLiteral("lumwatch/lumwatch.ini"));
    const QFile::Permissions open = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
    ASSERT_TRUE(QFile::setPermissions(ini, open));
    const Run r = lumcheck({});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out.count(QLatin1Char('\n')), 3);
    EXPECT_EQ(r.err.count(QLatin1Char('\n')), 1) << r.err.toStdString();
    EXPECT_TRUE(r.err.startsWith(QStringLiteral("lumcheck: 警告: "))) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("他のユーザー")));
    EXPECT_TRUE(r.err.contains(ini));
    EXPECT_EQ(QFile::permissions(ini) & open, open);
}

TEST_F(Dovecot, LumcheckJsonNewestFirst)
{
    deliverAll();
    writeSettings({account()}, {{"Option9value", QStringLiteral("1")}});
    const Run r = lumcheck({QStringLiteral("--json")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("[{\"account\":1,\"name\":\"ホーム\",\"message\":3,\"attach\":false,\"from\":\"山田太郎 <a@example.jp>\",\"subject\":\"こんにちは\"}")))
        << r.out.toStdString();
}

TEST_F(Dovecot, LumcheckRetrievesTwoMarkedMessages)
{
    deliverAll();
    writeSettings({account()});
    const Run r = lumcheck({QStringLiteral("--retrieve"), QStringLiteral("1:1,1:2")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("--- 1:1 ---\nSubject: テスト\n   From: 山田太郎 <a@example.jp>\n\n")))
        << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("一通目の本文")));
    EXPECT_TRUE(r.out.contains(QStringLiteral("--- 1:2 ---\nSubject: 会議の件\n")));
    EXPECT_TRUE(r.out.contains(QStringLiteral("second\n.dotted\n"))) << r.out.toStdString(); // unstuffed
    EXPECT_FALSE(r.out.contains(QStringLiteral("third")));
    EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
}

TEST_F(Dovecot, LumcheckDeletesExactlyTheNamedMessages)
{
    deliverAll();
    writeSettings({account()});
    const Run r = lumcheck({QStringLiteral("--delete"), QStringLiteral("1:1,1:3")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    // The list before and after the deletion.
    EXPECT_TRUE(r.out.endsWith(QStringLiteral("1\t1\t0\t請求書 <a@example.jp>\t会議の件\n")));
    EXPECT_EQ(r.out.count(QLatin1Char('\n')), 4);
    const QList<QByteArray> left = server.messages(QStringLiteral("taro"));
    ASSERT_EQ(left.size(), 1);
    EXPECT_TRUE(left[0].contains("d2@example.jp"));
}

TEST_F(Dovecot, LumcheckLogMasksPassword)
{
    deliverAll();
    writeSettings({account()});
    const Run r = lumcheck({QStringLiteral("--log")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.out.contains(QStringLiteral("USER taro\r\n\r\nPASS ******************************\r\nSTAT\r\n")));
    EXPECT_FALSE(r.out.contains(QStringLiteral("secret")));
    EXPECT_TRUE(r.out.contains(QStringLiteral("TOP 3 5")));
}

TEST_F(Dovecot, WrongPasswordShowsServerTextAndNextAccountRuns)
{
    deliverAll();
    writeSettings({account(QStringLiteral("bad"), QStringLiteral("wrong")), account(QStringLiteral("good"))});
    const Run r = lumcheck({});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.err.contains(QStringLiteral("lumcheck: bad: [AUTH] Authentication failed."))) << r.err.toStdString();
    EXPECT_EQ(r.out.count(QLatin1Char('\n')), 3);
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("2\t1\t")));
}

TEST_F(Dovecot, RefusedPortIsReportedAndNextAccountRuns)
{
    deliverAll();
    TestAccount dead = account(QStringLiteral("dead"));
    dead.port = freePort(); // nothing listens there
    writeSettings({dead, account()});
    const Run r = lumcheck({});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.err.contains(QStringLiteral("lumcheck: dead: 接続が拒否されました"))) << r.err.toStdString();
    EXPECT_EQ(r.out.count(QLatin1Char('\n')), 3);
}

TEST_F(Dovecot, LumcheckWithoutAccountsSaysSo)
{
    writeSettings({});
    const Run r = lumcheck({});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("ｱｶｳﾝﾄが設定されていません"))) << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty());
}

TEST_F(Dovecot, LumcheckRejectsBadMessageList)
{
    deliverAll();
    writeSettings({account()});
    const Run r = lumcheck({QStringLiteral("--delete"), QStringLiteral("1-2")});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains(QStringLiteral("A:M"))) << r.err.toStdString();
    EXPECT_EQ(server.messageCount(QStringLiteral("taro")), 3);
    EXPECT_TRUE(r.out.isEmpty()); // refused before any connection
}

TEST_F(Dovecot, LumcheckRejectsUnknownOptionsInJapanese)
{
    deliverAll();
    writeSettings({account()});
    for (const QStringList &args : {QStringList{QStringLiteral("--bogus")},
                                    QStringList{QStringLiteral("--retrieve")}}) {
        const Run r = lumcheck(args);
        EXPECT_EQ(r.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("指定が正しくありません"))) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty());
    }
}

TEST_F(Dovecot, UnchangedMailboxIsNotFetchedAgainWithOnlyNewer)
{
    deliverAll();
    LiveRig rig({account()}, {{"Option6value", QStringLiteral("1")}, {"Option8value", QStringLiteral("1")}});
    ASSERT_TRUE(rig.runCheckCycle());
    EXPECT_TRUE(rig.engine->log().contains("TOP 3 5"));
    EXPECT_TRUE(rig.view.checkEnds.last().newMail);
    ASSERT_TRUE(rig.runCheckCycle());
    EXPECT_FALSE(rig.engine->log().contains("TOP "));
    // STAT, and then QUIT with no UIDL before it (the capabilities come between).
    const QString log = rig.engine->log();
    EXPECT_GT(log.indexOf("QUIT"), log.indexOf("STAT\r\n"));
    EXPECT_FALSE(log.contains("\nUIDL\r\n\r\n"));
    EXPECT_EQ(rig.engine->total(), 3);
    EXPECT_FALSE(rig.view.checkEnds.last().newMail);
}

TEST_F(Dovecot, SilentServerTimesOutThenNextAccountRuns)
{
    deliverAll();
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    TestAccount mute{QStringLiteral("mute"), QStringLiteral("127.0.0.1"), silent.serverPort()};
    LiveRig rig({mute, account()}, {{"Option3value", QStringLiteral("0")}});
    rig.engine->checkmail();
    ASSERT_TRUE(rig.runUntil([&] { return silent.hasPendingConnections(); }));
    QTcpSocket *peer = silent.nextPendingConnection();
    EXPECT_EQ(rig.engine->accountIndex(), 1);
    rig.runUntil([] { return false; }, 200); // let the connect event arrive
    rig.timers.advance(60000);                // one silent minute
    ASSERT_TRUE(rig.runUntil([&] { return !rig.view.checkEnds.isEmpty(); }));
    EXPECT_EQ(rig.engine->total(), 3);
    EXPECT_EQ(rig.rec(2, 1).subject, QStringLiteral("テスト"));
    // The abandoned connection got its QUIT and was closed.
    ASSERT_TRUE(rig.runUntil([&] { return peer->bytesAvailable() > 0 || peer->state() != QAbstractSocket::ConnectedState; }, 5000));
    peer->waitForReadyRead(1000);
    EXPECT_TRUE(peer->readAll().startsWith("QUIT\r\n"));
    EXPECT_EQ(rig.view.messages, QStringList{QStringLiteral("ｻｰﾊﾞｰから時間内に応答がありませんでした")});
}

TEST_F(Dovecot, MailboxChangedBetweenCheckAndDeleteDeletesNothingWrong)
{
    QStringList files;
    for (const QByteArray &m : japaneseMail())
        files.append(server.deliver(QStringLiteral("taro"), m));
    LiveRig rig({account()}, {{"Option3value", QStringLiteral("0")}});
    ASSERT_TRUE(rig.runCheckCycle());
    ASSERT_EQ(rig.engine->previousCount(1), 3);
    // Another client removes message 1; the listed numbers 2 and 3 now name other mail.
    ASSERT_TRUE(server.removeMessage(QStringLiteral("taro"), files[0]));
    rig.rec(1, 2).mark = true;
    rig.rec(1, 3).mark = true;
    rig.engine->deleteMarked();
    ASSERT_TRUE(rig.runUntil([&] { return rig.view.checkEnds.size() == 2; }));
    EXPECT_EQ(server.messageCount(QStringLiteral("taro")), 2);
    ASSERT_EQ(rig.view.messages.size(), 2);
    EXPECT_TRUE(rig.view.messages[0].contains(QStringLiteral("削除しませんでした")));
    EXPECT_EQ(rig.engine->previousCount(1), 2);
}

TEST_F(Dovecot, MailboxChangedBetweenCheckAndRetrieveFilesNothingWrong)
{
    QStringList files;
    for (const QByteArray &m : japaneseMail())
        files.append(server.deliver(QStringLiteral("taro"), m));
    LiveRig rig({account()}, {{"Option3value", QStringLiteral("0")}});
    ASSERT_TRUE(rig.runCheckCycle());
    ASSERT_TRUE(server.removeMessage(QStringLiteral("taro"), files[0]));
    rig.rec(1, 1).mark = true; // now names the old message 2
    rig.engine->retrieveMarked();
    ASSERT_TRUE(rig.runUntil([&] { return rig.view.retrieveEnds == 1; }));
    EXPECT_TRUE(rig.rec(1, 1).body.isEmpty());
    ASSERT_EQ(rig.view.messages.size(), 1);
    EXPECT_TRUE(rig.view.messages[0].contains(QStringLiteral("取得しませんでした")));
}

// The rows lumcheck prints, without its protocol log.
QStringList listed(const QString &out)
{
    static const QRegularExpression row(QStringLiteral("^\\d+\t\\d+\t"));
    QStringList rows;
    for (const QString &line : out.split(QLatin1Char('\n'))) {
        if (row.match(line).hasMatch())
            rows << line;
    }
    return rows;
}

// Kept summaries are shared between runs: a second run asks only for the unique ids, and
// lists what a run without them lists, also after another client deleted a message.
TEST_F(Dovecot, KeptSummariesListWhatAPlainCheckLists)
{
    QStringList files;
    for (const QByteArray &m : japaneseMail())
        files.append(server.deliver(QStringLiteral("taro"), m));
    struct Step {
        const char *fast;
        bool removeSecond; // before the run
        int rows;
        bool tops;
    };
    QStringList cold;
    // A run without the fast check removes the kept files: the next one reads every header.
    for (const Step &step : {Step{"1", false, 3, true}, Step{"1", false, 3, false}, Step{"0", false, 3, true},
                             Step{"1", false, 3, true}, Step{"1", true, 2, false}}) {
        SCOPED_TRACE(step.fast);
        if (step.removeSecond) {
            ASSERT_TRUE(server.removeMessage(QStringLiteral("taro"), files[1]));
        }
        writeSettings({account()}, {{"Option15value", QString::fromLatin1(step.fast)}});
        const Run r = lumcheck({QStringLiteral("--log")});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        if (cold.isEmpty())
            cold = listed(r.out);
        QStringList expected = cold;
        if (step.removeSecond)
            expected = {cold[0], cold[2].replace(QStringLiteral("1\t3\t"), QStringLiteral("1\t2\t"))};
        EXPECT_EQ(listed(r.out), expected);
        EXPECT_EQ(listed(r.out).size(), step.rows);
        EXPECT_EQ(r.out.contains(QStringLiteral("TOP ")), step.tops) << r.out.toStdString();
        EXPECT_EQ(r.out.contains(QStringLiteral("CAPA")), step.fast[0] == '1');
    }
}

} // namespace
} // namespace lum::test
