// IMAP accounts against a private Dovecot: lumcheck lists the unseen messages, retrieves and
// deletes them, and never marks one as read; the engine between steps where the mailbox
// changes under it.
#include "support/dovecot_server.h"
#include "support/live_rig.h"
#include "support/lumcheck_run.h"

#include <QDir>
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
        for (const char *sub : {"new", "cur"}) {
            const QDir d(server.mailDir(user) + QLatin1Char('/') + QLatin1String(sub));
            for (const QString &name : d.entryList(QDir::Files, QDir::Name))
                out << name.section(QStringLiteral(":2,"), 1);
        }
        return out;
    }
};

TEST_F(DovecotImap, ListsRetrievesAndDeletesTheUnseenWithoutReadingThem)
{
    const LumcheckRun listed = lumcheck({});
    EXPECT_EQ(listed.exitCode, 0) << listed.err.toStdString() << server.log().toStdString();
    EXPECT_EQ(listed.out, QStringLiteral("1\t1\t0\t山田太郎 <a@example.jp>\tテスト\n"
                                         "1\t2\t0\t山田太郎 <a@example.jp>\tこんにちは\n"));
    const LumcheckRun retrieved = lumcheck({QStringLiteral("--retrieve"), QStringLiteral("1:1")});
    EXPECT_TRUE(retrieved.out.contains(QStringLiteral("一通目の本文"))) << retrieved.out.toStdString()
                                                                       << retrieved.err.toStdString();
    EXPECT_FALSE(flags().join(QString()).count(QLatin1Char('S')) > 1) << flags().join(u' ').toStdString();
    const LumcheckRun deleted = lumcheck({QStringLiteral("--delete"), QStringLiteral("1:2")});
    EXPECT_EQ(deleted.exitCode, 0) << deleted.err.toStdString();
    const QList<QByteArray> left = server.messages(user);
    ASSERT_EQ(left.size(), 2);
    EXPECT_FALSE(left[0].contains("i3@example.jp") || left[1].contains("i3@example.jp"));
}

} // namespace
} // namespace lum::test
