// Passwords in a real Secret Service (gnome-keyring-daemon on a bus of its own): lumcheck
// stores one with --set-password and logs in to Dovecot with it; without the service, or
// with the item out of reach, the account is skipped with its reason and the others run.
#include "support/dovecot_server.h"
#include "support/live_rig.h"
#include "support/lumcheck_run.h"
#include "support/private_keyring.h"

#include <QFile>
#include <gtest/gtest.h>

namespace lum::test {
namespace {

class DovecotKeyring : public testing::Test {
protected:
    DovecotServer server;
    QTemporaryDir config;
    PrivateKeyring keyring;

    void SetUp() override
    {
        server.addUser(QStringLiteral("taro"), QStringLiteral("secret"));
        ASSERT_TRUE(server.start()) << server.error().toStdString();
        server.deliver(QStringLiteral("taro"), jpMessage(wYamada, wTest, "k1@example.jp"));
        ASSERT_TRUE(keyring.startBus()) << keyring.error().toStdString();
    }

    // Account 1 keeps its password in the keyring, account 2 in the file.
    void writeSettings()
    {
        SettingsStore s(iniPath());
        const TestAccount inKeyring{QStringLiteral("鍵"), QStringLiteral("127.0.0.1"), server.port(),
                                    QStringLiteral("taro"), QString()};
        TestAccount inFile = inKeyring;
        inFile.name = QStringLiteral("ホーム");
        inFile.pass = QStringLiteral("secret");
        writeTestSettings(s, {inKeyring, inFile});
        s.writeSetting(QStringLiteral("Pwstore1"), QStringLiteral("1"));
        s.flush();
    }
    QString iniPath() const { return config.filePath(QStringLiteral("lumwatch/lumwatch.ini")); }
    QString key() const { return QStringLiteral("taro@127.0.0.1:") + QString::number(server.port()); }
    LumcheckRun lumcheck(const QStringList &args, const QByteArray &input = {})
    {
        return runLumcheck(config.path(), args, input, keyring.environment());
    }
};

TEST_F(DovecotKeyring, PasswordSetFromTheTerminalLogsIn)
{
    ASSERT_TRUE(keyring.startKeyring()) << keyring.error().toStdString();
    writeSettings();
    const LumcheckRun set = lumcheck({QStringLiteral("--set-password"), QStringLiteral("1")}, "secret\n");
    EXPECT_EQ(set.exitCode, 0) << set.err.toStdString();
    EXPECT_EQ(set.out, QStringLiteral("鍵: パスワードをキーリングに保存しました\n"));
    EXPECT_EQ(keyring.lookup(key()), QStringLiteral("secret"));
    QFile ini(iniPath());
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    const QByteArray text = ini.readAll();
    EXPECT_TRUE(text.contains("Passw1=0\n")) << text.toStdString();
    const LumcheckRun r = lumcheck({});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("1\t1\t0\t山田太郎"))) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("\n2\t1\t0\t山田太郎"))) << r.out.toStdString();
}

TEST_F(DovecotKeyring, WithoutSecretServiceTheAccountIsSkipped)
{
    writeSettings();
    const LumcheckRun r = lumcheck({});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.err.startsWith(QStringLiteral("lumcheck: 鍵: キーリングからパスワードを読めません (鍵): ")))
        << r.err.toStdString();
    EXPECT_EQ(r.out.count(QLatin1Char('\n')), 1);
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("2\t1\t0\t"))) << r.out.toStdString();
    const LumcheckRun set = lumcheck({QStringLiteral("--set-password"), QStringLiteral("1")}, "pw-4711\n");
    EXPECT_EQ(set.exitCode, 1);
    EXPECT_TRUE(set.err.startsWith(QStringLiteral("lumcheck: 鍵: キーリングに保存できませんでした: ")))
        << set.err.toStdString();
    EXPECT_FALSE(set.err.contains(QStringLiteral("4711")));
    EXPECT_TRUE(set.out.isEmpty());
}

} // namespace
} // namespace lum::test
