// lumcheck --trust against a private Dovecot with a self-signed certificate: the user sees
// the certificate, says no and nothing is stored, says yes and the next check goes through.
// The look never logs in.
#include "support/dovecot_server.h"
#include "support/lumcheck_run.h"
#include "support/rig.h"

#include <QCryptographicHash>
#include <QSslCertificate>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace lum::test {
namespace {

class TrustCommand : public testing::TestWithParam<SslMode> {
protected:
    QTemporaryDir files;
    QTemporaryDir config;
    DovecotServer server;
    QString fingerprint;

    void SetUp() override
    {
        const QString cert = files.filePath(QStringLiteral("cert.pem"));
        const QString key = files.filePath(QStringLiteral("key.pem"));
        QProcess openssl;
        openssl.start(QStringLiteral("openssl"),
                      {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-days",
                       "2", "-subj", "/CN=localhost", "-keyout", key, "-out", cert});
        ASSERT_TRUE(openssl.waitForFinished(60000));
        ASSERT_EQ(openssl.exitCode(), 0);
        fingerprint = QString::fromLatin1(
            QSslCertificate::fromPath(cert).value(0).digest(QCryptographicHash::Sha256).toHex());
        server.useTls(cert, key);
        server.addUser(QStringLiteral("taro"), QStringLiteral("secret"));
        ASSERT_TRUE(server.start()) << server.error().toStdString();
        server.deliver(QStringLiteral("taro"), jpMessage(wYamada, wTest, "t1@x"));
        SettingsStore s(storePath());
        const bool tls = GetParam() == SslMode::Tls;
        writeTestSettings(s, {{QStringLiteral("home"), QStringLiteral("localhost"), tls ? server.tlsPort() : server.port(),
                               QStringLiteral("taro"), QStringLiteral("secret"), 1, GetParam()},
                              {QStringLiteral("plain"), QStringLiteral("localhost"), server.port(), QStringLiteral("taro"),
                               QStringLiteral("secret")}});
    }

    QString storePath() const { return config.filePath(QStringLiteral("lumwatch/lumwatch.ini")); }
    QString storedPin() const { return SettingsStore(storePath()).readSetting(QStringLiteral("Sslpin1"), {}); }
    LumcheckRun trust(const QString &account, const QByteArray &answer = {})
    {
        return runLumcheck(config.path(), {QStringLiteral("--trust"), account}, answer);
    }
};

TEST_P(TrustCommand, ShowsTheCertificateAndStoresItOnlyWhenTheUserSaysYes)
{
    const QString shown = QStringLiteral("home: ｻｰﾊﾞｰ証明書が自己署名です\nSHA-256:") + fingerprint
                          + QStringLiteral("\nこの証明書を信頼しますか? [y/N] ");
    LumcheckRun r = trust(QStringLiteral("1"), "n\n");
    EXPECT_EQ(r.exitCode, 3) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(shown + QStringLiteral("登録しませんでした\n"))) << r.out.toStdString();
    EXPECT_EQ(storedPin(), QString());

    r = trust(QStringLiteral("1"), "y\n");
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(shown + QStringLiteral("信頼する証明書として登録しました\n"))) << r.out.toStdString();
    EXPECT_EQ(storedPin(), fingerprint);

    r = trust(QStringLiteral("1"));
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.endsWith(QStringLiteral("home: ｻｰﾊﾞｰ証明書は信頼されています\n"))) << r.out.toStdString();
    EXPECT_FALSE(server.log().contains(QStringLiteral("Login: user=<taro>"))) << "a look, not a login";

    r = runLumcheck(config.path(), {});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out.count(QStringLiteral("\tテスト\n")), 2) << r.out.toStdString() << r.err.toStdString();
    EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
}

// What the command refuses before it connects anywhere.
TEST_P(TrustCommand, RefusesWhatItCannotLookAt)
{
    struct Row {
        QStringList args;
        QString err;
    };
    const QList<Row> rows{
        {{"--trust", "2"}, "lumcheck: plain: 暗号化を使わないｱｶｳﾝﾄです。先に暗号化を設定してください\n"},
        {{"--trust", "3"}, "lumcheck: --trust 3: ｱｶｳﾝﾄ番号は1から2で指定してください\n"},
        {{"--trust", "x"}, "lumcheck: --trust x: ｱｶｳﾝﾄ番号は1から2で指定してください\n"},
        {{"--trust", "1", "--json"}, "lumcheck: --trust は他の指定と一緒には使えません\n"},
    };
    for (const Row &row : rows) {
        const LumcheckRun r = runLumcheck(config.path(), row.args);
        EXPECT_EQ(r.exitCode, 2) << row.args.join(' ').toStdString();
        EXPECT_EQ(r.err, row.err);
        EXPECT_EQ(storedPin(), QString());
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, TrustCommand, testing::Values(SslMode::Tls, SslMode::Stls),
                         [](const auto &info) { return info.param == SslMode::Tls ? "pop3s" : "stls"; });

} // namespace
} // namespace lum::test
