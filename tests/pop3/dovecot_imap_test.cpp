// IMAP accounts against a private Dovecot: lumcheck lists the unseen messages, retrieves and
// deletes them, and never marks one as read; the engine between steps where the mailbox
// changes under it.
#include "support/dovecot_server.h"
#include "support/live_rig.h"
#include "support/lumcheck_run.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace lum::test {
namespace {

class DovecotImap : public testing::Test {
protected:
    DovecotServer server;
    QTemporaryDir config;
    const QString user = QStringLiteral("hanako");

    void SetUp() override
    {
        server.addUser(user, QStringLiteral("secret"));
        ASSERT_TRUE(server.start()) << server.error().toStdString();
        // Two unseen messages around one read elsewhere.
        server.deliver(user, jpMessage(wYamada, wTest, "i1@example.jp", "\x1b$B0lDLL\x5c$NK\x5cJ8\x1b(B\r\n"));
        server.deliver(user, jpMessage(wBill, wMeeting, "i2@example.jp", "seen\r\n"), QStringLiteral("S"));
        server.deliver(user, jpMessage(wYamada, wHello, "i3@example.jp", "third\r\n"));
    }

    TestAccount account() const
    {
        TestAccount a{QStringLiteral("IMAP"), QStringLiteral("127.0.0.1"), server.imapPort(), user,
                      QStringLiteral("secret")};
        a.protocol = MailProtocol::Imap;
        return a;
    }

    LumcheckRun lumcheck(const QStringList &args)
    {
        SettingsStore s(config.filePath(QStringLiteral("lumwatch/lumwatch.ini")));
        writeTestSettings(s, {account()});
        return runLumcheck(config.path(), args);
    }

    // The maildir flags of every message: nothing of ours may add "S".
    QStringList flags() const
    {
        QStringList out;
        for (const QString &name : QDir(server.mailDir(user) + QStringLiteral("/cur")).entryList(QDir::Files, QDir::Name))
            out << name.section(QStringLiteral(":2,"), 1);
        return out;
    }
};

TEST_F(DovecotImap, ListsRetrievesAndDeletesTheUnseenWithoutReadingThem)
{
    // Flagged for deletion by another client: neither listed nor expunged with ours.
    server.deliver(user, jpMessage(wBill, wTest, "i4@example.jp", "theirs\r\n"), QStringLiteral("T"));
    const LumcheckRun listed = lumcheck({});
    EXPECT_EQ(listed.exitCode, 0) << listed.err.toStdString() << server.log().toStdString();
    EXPECT_EQ(listed.out, QStringLiteral("1\t1\t0\t山田太郎 <a@example.jp>\tテスト\n"
                                         "1\t2\t0\t山田太郎 <a@example.jp>\tこんにちは\n"));
    const LumcheckRun retrieved = lumcheck({QStringLiteral("--retrieve"), QStringLiteral("1:1")});
    EXPECT_TRUE(retrieved.out.contains(QStringLiteral("一通目の本文"))) << retrieved.out.toStdString();
    EXPECT_EQ(flags(), (QStringList{QStringLiteral("S"), QStringLiteral("T")})); // ours stay in new
    const LumcheckRun deleted = lumcheck({QStringLiteral("--delete"), QStringLiteral("1:2")});
    EXPECT_EQ(deleted.exitCode, 0) << deleted.err.toStdString();
    EXPECT_EQ(deleted.out.count(QLatin1Char('\n')), 3); // the list before, and the one after
    const QList<QByteArray> left = server.messages(user);
    EXPECT_EQ(left.size(), 3);
    for (const QByteArray &m : left)
        EXPECT_FALSE(m.contains("i3@example.jp"));
}

// Another UIDVALIDITY: the UIDs of the listing name nothing any more, so the marked rows
// are neither retrieved nor deleted, and the user is told.
TEST_F(DovecotImap, AnotherUidValidityRetrievesAndDeletesNothing)
{
    LiveRig rig({account()}, {{"Option3value", QStringLiteral("0")}});
    ASSERT_TRUE(rig.runCheckCycle());
    ASSERT_EQ(rig.engine->previousCount(1), 2);
    // As when the mailbox is made anew: Dovecot's list of UIDs starts over under another value.
    QFile uidlist(server.mailDir(user) + QStringLiteral("/dovecot-uidlist"));
    ASSERT_TRUE(uidlist.open(QIODevice::ReadWrite));
    QByteArray text = uidlist.readAll();
    char &digit = text[text.indexOf(" V") + 2];
    digit = digit == '9' ? '8' : '9';
    ASSERT_TRUE(uidlist.seek(0) && uidlist.write(text) == text.size());
    uidlist.close();
    for (const QString &index : QDir(server.mailDir(user)).entryList({QStringLiteral("dovecot.index*")}))
        QFile::remove(server.mailDir(user) + QLatin1Char('/') + index);
    rig.rec(1, 1).mark = true;
    rig.engine->retrieveMarked();
    ASSERT_TRUE(rig.runUntil([&] { return rig.view.retrieveEnds == 1; }));
    EXPECT_TRUE(rig.rec(1, 1).body.isEmpty());
    rig.rec(1, 1).mark = false; // as the list clears the marks after a retrieve
    rig.rec(1, 2).mark = true;
    rig.engine->deleteMarked();
    ASSERT_TRUE(rig.runUntil([&] { return rig.view.checkEnds.size() == 2; }));
    EXPECT_EQ(server.messageCount(user), 3);
    ASSERT_EQ(rig.view.messages.size(), 2) << rig.view.messages.join(u'\n').toStdString();
    EXPECT_TRUE(rig.view.messages[0].endsWith(QStringLiteral("取得しませんでした")));
    EXPECT_TRUE(rig.view.messages[1].endsWith(QStringLiteral("削除しませんでした")));
}

} // namespace
} // namespace lum::test
