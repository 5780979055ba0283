// TLS against a private Dovecot with a throwaway self-signed certificate for "localhost":
// refused as the system store doesn't know it, accepted once the test trusts it, both as
// POP3S on the second listener and as STLS on the plain one.
#include "support/dovecot_server.h"
#include "support/live_rig.h"

#include <QCryptographicHash>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSslCertificate>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace lum::test {
namespace {

class DovecotTls : public testing::TestWithParam<SslMode> {
protected:
    QTemporaryDir files;
    DovecotServer server;

    QString cert() const { return files.filePath(QStringLiteral("cert.pem")); }

    void SetUp() override
    {
        QProcess openssl;
        openssl.start(
            QStringLiteral("openssl"),
            {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-days", "2",
             "-subj", "/CN=localhost", "-addext", "subjectAltName=DNS:localhost", "-keyout",
             files.filePath(QStringLiteral("key.pem")), "-out", cert()});
        ASSERT_TRUE(openssl.waitForFinished(60000));
        ASSERT_EQ(openssl.exitCode(), 0) << openssl.readAllStandardError().toStdString();
        server.useTls(cert(), files.filePath(QStringLiteral("key.pem")));
        server.addUser(QStringLiteral("taro"), QStringLiteral("secret"));
        ASSERT_TRUE(server.start()) << server.error().toStdString();
        for (const char *id : {"t1@x", "t2@x", "t3@x"})
            server.deliver(QStringLiteral("taro"), jpMessage(wYamada, wTest, id));
    }

    TestAccount account(const QString &name)
    {
        const SslMode mode = GetParam();
        return {name, QStringLiteral("localhost"), mode == SslMode::Tls ? server.tlsPort() : server.port(),
                QStringLiteral("taro"), QStringLiteral("secret"), 1, mode};
    }
};

TEST_P(DovecotTls, TrustedCertificateListsTheMailbox)
{
    LiveRig rig({account(QStringLiteral("tls"))}, {{"Option3value", QStringLiteral("0")}});
    rig.transport->addCaCertificates(QSslCertificate::fromPath(cert()));
    ASSERT_TRUE(rig.runCheckCycle());
    EXPECT_EQ(rig.view.messages, QStringList()) << server.log().toStdString();
    EXPECT_EQ(rig.engine->total(), 3);
    EXPECT_EQ(rig.rec(1, 3).subject, QStringLiteral("テスト"));
}

// Pinned by its fingerprint, the self-signed certificate is taken even for another name; a
// pin of another certificate is refused, and the refusal tells the real fingerprint.
TEST_P(DovecotTls, PinnedCertificateAndNoOther)
{
    const QByteArray real = QSslCertificate::fromPath(cert()).value(0).digest(QCryptographicHash::Sha256).toHex();
    ASSERT_EQ(real.size(), 64);
    QByteArray other = real;
    other[0] = other[0] == '0' ? '1' : '0';
    for (const QByteArray &pin : {real, other}) {
        TestAccount byAddress = account(QStringLiteral("pinned"));
        byAddress.host = QStringLiteral("127.0.0.1");
        LiveRig rig({byAddress}, {{"Option3value", QStringLiteral("0")}});
        rig.temp.store().writeSetting(QStringLiteral("Sslpin1"), QString::fromLatin1(pin));
        ASSERT_TRUE(rig.runCheckCycle());
        if (pin == real) {
            EXPECT_EQ(rig.view.messages, QStringList());
            EXPECT_EQ(rig.engine->total(), 3);
        } else {
            EXPECT_EQ(rig.view.messages,
                      QStringList{QStringLiteral("ｻｰﾊﾞｰ証明書が自己署名です SHA-256:") + QString::fromLatin1(real)});
            EXPECT_EQ(rig.engine->total(), 0);
        }
    }
    EXPECT_EQ(server.log().count(QStringLiteral("Login: user=<taro>")), 1) << server.log().toStdString();
}

// Trusted, but issued for "localhost" while the account names the address.
TEST_P(DovecotTls, CertificateForAnotherNameIsRefusedBeforeTheLogin)
{
    TestAccount byAddress = account(QStringLiteral("ip"));
    byAddress.host = QStringLiteral("127.0.0.1");
    LiveRig rig({byAddress}, {{"Option3value", QStringLiteral("0")}});
    rig.transport->addCaCertificates(QSslCertificate::fromPath(cert()));
    ASSERT_TRUE(rig.runCheckCycle());
    ASSERT_EQ(rig.view.messages.size(), 1);
    EXPECT_TRUE(rig.view.messages[0].startsWith(QStringLiteral("ｻｰﾊﾞｰ証明書のﾎｽﾄ名が一致しません SHA-256:")))
        << rig.view.messages[0].toStdString();
    EXPECT_EQ(rig.engine->total(), 0);
    EXPECT_FALSE(server.log().contains(QStringLiteral("Login: user=<taro>"))) << server.log().toStdString();
}

// lumcheck as the user runs it: the system store alone, which doesn't know the certificate.
TEST_P(DovecotTls, SelfSignedCertificateIsRefusedBeforeTheLogin)
{
    QTemporaryDir config;
    {
        SettingsStore s(config.filePath(QStringLiteral("lumwatch/lumwatch.ini")));
        TestAccount plain = account(QStringLiteral("plain"));
        plain.port = server.port();
        plain.sslmode = SslMode::None;
        writeTestSettings(s, {account(QStringLiteral("home")), plain});
    }
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(LUMCHECK_PATH), {QStringLiteral("--log")});
    ASSERT_TRUE(p.waitForFinished(120000));
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    const QString err = QString::fromUtf8(p.readAllStandardError());
    EXPECT_TRUE(err.contains(QStringLiteral("lumcheck: home: ｻｰﾊﾞｰ証明書が自己署名です"))) << err.toStdString();
    EXPECT_EQ(out.contains(QStringLiteral("STLS\r\n")), GetParam() == SslMode::Stls) << out.toStdString();
    EXPECT_FALSE(out.contains(QStringLiteral("secret")));
    EXPECT_EQ(out.count(QStringLiteral("USER taro")), 1) << "only the plain account logs in";
    EXPECT_EQ(server.log().count(QStringLiteral("Login: user=<taro>")), 1) << server.log().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Modes, DovecotTls, testing::Values(SslMode::Tls, SslMode::Stls),
                         [](const auto &info) { return info.param == SslMode::Tls ? "pop3s" : "stls"; });

} // namespace
} // namespace lum::test
