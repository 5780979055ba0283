// TLS against a private Dovecot ("ssl = required"), both as POP3S on the second listener and
// as STLS on the plain one. Certificates come from a CA made for the run, which the test
// trusts through the transport; the system's store is left alone.
#include "support/dovecot_server.h"
#include "support/live_rig.h"
#include "support/lumcheck_run.h"
#include "support/test_pki.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace lum::test {
namespace {

// What the server shows and what the account expects of it.
enum class Shown { Leaf, ExpiredLeaf, SelfSignedA, SelfSignedB };

struct TlsRow {
    const char *name;
    Shown shown;
    const char *host;
    bool pinA;              // "Sslpin1" holds the fingerprint of the self-signed certificate A
    const char *refusal;    // nullptr: the mailbox is listed; else the message, before the fingerprint
};

void PrintTo(const TlsRow &r, std::ostream *os) { *os << r.name; }

const TlsRow tlsRows[] = {
    {"trusted_leaf", Shown::Leaf, "localhost", false, nullptr},
    {"trusted_leaf_for_another_name", Shown::Leaf, "127.0.0.1", false, "ｻｰﾊﾞｰ証明書のﾎｽﾄ名が一致しません"},
    {"expired_leaf", Shown::ExpiredLeaf, "localhost", false, "ｻｰﾊﾞｰ証明書の有効期限が切れています"},
    // The pin takes exactly that certificate, whatever its issuer or name...
    {"pinned_self_signed", Shown::SelfSignedA, "127.0.0.1", true, nullptr},
    // ...and no other certificate of the same name.
    {"other_self_signed_than_pinned", Shown::SelfSignedB, "localhost", true, "ｻｰﾊﾞｰ証明書が自己署名です"},
};

class DovecotTls : public testing::TestWithParam<std::tuple<TlsRow, SslMode, MailProtocol>> {
protected:
    TestPki pki;
    DovecotServer server;

    void start(const TestPki::Issued &shown)
    {
        server.useTls(shown.certFile, shown.keyFile);
        server.addUser(QStringLiteral("taro"), QStringLiteral("secret"));
        ASSERT_TRUE(server.start()) << server.error().toStdString();
        for (const char *id : {"t1@x", "t2@x", "t3@x"})
            server.deliver(QStringLiteral("taro"), jpMessage(wYamada, wTest, id));
    }

    TestAccount account(const QString &name, const QString &host = QStringLiteral("localhost"))
    {
        const SslMode mode = std::get<SslMode>(GetParam());
        const MailProtocol protocol = std::get<MailProtocol>(GetParam());
        const bool imap = protocol == MailProtocol::Imap;
        return {name, host, mode == SslMode::Tls ? (imap ? server.imapTlsPort() : server.tlsPort())
                                                 : (imap ? server.imapPort() : server.port()),
                QStringLiteral("taro"), QStringLiteral("secret"), 1, mode, protocol};
    }
};

TEST_P(DovecotTls, ChecksOnlyWithTheRightCertificate)
{
    const TlsRow &row = std::get<TlsRow>(GetParam());
    const TestPki::Issued a = pki.selfSigned(QStringLiteral("localhost"));
    TestPki::Issued shown;
    switch (row.shown) {
    case Shown::Leaf:
        shown = pki.leaf(QStringLiteral("localhost"));
        break;
    case Shown::ExpiredLeaf:
        shown = pki.leaf(QStringLiteral("localhost"), true);
        break;
    case Shown::SelfSignedA:
        shown = a;
        break;
    case Shown::SelfSignedB:
        shown = pki.selfSigned(QStringLiteral("localhost"));
        break;
    }
    ASSERT_EQ(shown.fingerprint().size(), 64);
    ASSERT_NO_FATAL_FAILURE(start(shown));

    LiveRig rig({account(QStringLiteral("tls"), QString::fromLatin1(row.host))}, {{"Option3value", QStringLiteral("0")}});
    rig.transport->addCaCertificates(pki.ca());
    if (row.pinA)
        rig.temp.store().writeSetting(QStringLiteral("Sslpin1"), QString::fromLatin1(a.fingerprint()));
    ASSERT_TRUE(rig.runCheckCycle());
    if (!row.refusal) {
        EXPECT_EQ(rig.view.messages, QStringList()) << server.log().toStdString();
        EXPECT_EQ(rig.engine->total(), 3);
        EXPECT_EQ(rig.rec(1, 3).subject, QStringLiteral("テスト"));
        EXPECT_EQ(server.log().count(QStringLiteral("Login: user=<taro>")), 1) << server.log().toStdString();
        return;
    }
    EXPECT_EQ(rig.view.messages, QStringList{QString::fromUtf8(row.refusal) + QStringLiteral(" SHA-256:")
                                             + QString::fromLatin1(shown.fingerprint())});
    EXPECT_EQ(rig.engine->total(), 0);
    EXPECT_FALSE(server.log().contains(QStringLiteral("Login: user=<taro>"))) << server.log().toStdString();
}

std::string tlsRowName(const testing::TestParamInfo<DovecotTls::ParamType> &info)
{
    const bool imap = std::get<MailProtocol>(info.param) == MailProtocol::Imap;
    return std::string(std::get<TlsRow>(info.param).name)
           + (std::get<SslMode>(info.param) == SslMode::Tls ? (imap ? "_imaps" : "_pop3s") : (imap ? "_starttls" : "_stls"));
}

INSTANTIATE_TEST_SUITE_P(Certificates, DovecotTls,
                         testing::Combine(testing::ValuesIn(tlsRows), testing::Values(SslMode::Tls, SslMode::Stls),
                                          testing::Values(MailProtocol::Pop3)),
                         tlsRowName);
// IMAP takes the same transport: a trusted certificate, and one refused before the login.
INSTANTIATE_TEST_SUITE_P(Imap, DovecotTls,
                         testing::Combine(testing::Values(tlsRows[0], tlsRows[2]), testing::Values(SslMode::Tls, SslMode::Stls),
                                          testing::Values(MailProtocol::Imap)),
                         tlsRowName);

// Writing a command over TLS may bring replies that arrived meanwhile: a mailbox beyond the
// window of pipelined commands is listed whole and in order all the same.
TEST(DovecotTlsPipelining, ListsABigMailboxWhole)
{
    TestPki pki;
    DovecotServer server;
    const TestPki::Issued leaf = pki.leaf(QStringLiteral("localhost"));
    server.useTls(leaf.certFile, leaf.keyFile);
    server.addUser(QStringLiteral("taro"), QStringLiteral("secret"));
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    const int count = 1500;
    const auto id = [](int n) { return "big" + QByteArray::number(n) + "@x"; };
    for (int n = 1; n <= count; ++n)
        server.deliver(QStringLiteral("taro"), jpMessage(wYamada, n % 2 ? wTest : wHello, id(n)));
    LiveRig rig({{QStringLiteral("tls"), QStringLiteral("localhost"), server.tlsPort(), QStringLiteral("taro"),
                  QStringLiteral("secret"), 1, SslMode::Tls}},
                {{"Option3value", QStringLiteral("0")}});
    rig.transport->addCaCertificates(pki.ca());
    ASSERT_TRUE(rig.runCheckCycle());
    EXPECT_EQ(rig.view.messages, QStringList());
    ASSERT_EQ(rig.engine->listedCount(1), count);
    for (int n = 1; n <= count; ++n)
        ASSERT_EQ(rig.rec(1, n).identity.messageId, "<" + id(n) + ">") << n;
}

// lumcheck as the user runs it: the system store alone, which doesn't know the self-signed
// certificate. The plain account beside it still logs in, as Dovecot counts 127.0.0.1 as
// secured.
class DovecotTlsLumcheck : public DovecotTls {
protected:
    QTemporaryDir config;
    TestPki::Issued shown;

    void SetUp() override
    {
        shown = pki.selfSigned(QStringLiteral("localhost"));
        ASSERT_NO_FATAL_FAILURE(start(shown));
        SettingsStore s(storePath());
        TestAccount plain = account(QStringLiteral("plain"));
        plain.port = server.port();
        plain.sslmode = SslMode::None;
        writeTestSettings(s, {account(QStringLiteral("home")), plain});
    }

    QString storePath() const { return config.filePath(QStringLiteral("lumwatch/lumwatch.ini")); }
    QString storedPin() const { return SettingsStore(storePath()).readSetting(QStringLiteral("Sslpin1"), {}); }
    LumcheckRun lumcheck(const QStringList &args, const QByteArray &input = {})
    {
        return runLumcheck(config.path(), args, input);
    }
    int logins() const { return int(server.log().count(QStringLiteral("Login: user=<taro>"))); }
};

TEST_P(DovecotTlsLumcheck, SelfSignedCertificateIsRefusedBeforeTheLogin)
{
    const LumcheckRun r = lumcheck({QStringLiteral("--log")});
    EXPECT_TRUE(r.err.contains(QStringLiteral("lumcheck: home: ｻｰﾊﾞｰ証明書が自己署名です"))) << r.err.toStdString();
    const bool stls = std::get<SslMode>(GetParam()) == SslMode::Stls;
    EXPECT_EQ(r.out.contains(QStringLiteral("STLS\r\n\r\n")), stls) << r.out.toStdString(); // the command
    EXPECT_FALSE(r.out.contains(QStringLiteral("secret")));
    EXPECT_EQ(r.out.count(QStringLiteral("USER taro")), 1) << "only the plain account logs in";
    EXPECT_EQ(logins(), 1) << server.log().toStdString();
}

// lumcheck --trust: the user sees the certificate, says no and nothing is stored, says yes
// and the next check goes through. The look never logs in.
TEST_P(DovecotTlsLumcheck, TrustShowsTheCertificateAndStoresItOnlyOnYes)
{
    const QString fingerprint = QString::fromLatin1(shown.fingerprint());
    const QString asked = QStringLiteral("home: ｻｰﾊﾞｰ証明書が自己署名です\nSHA-256:") + fingerprint
                          + QStringLiteral("\nこの証明書を信頼しますか? [y/N] ");
    LumcheckRun r = lumcheck({QStringLiteral("--trust"), QStringLiteral("1")}, "n\n");
    EXPECT_EQ(r.exitCode, 3) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(asked + QStringLiteral("登録しませんでした\n"))) << r.out.toStdString();
    EXPECT_EQ(storedPin(), QString());

    r = lumcheck({QStringLiteral("--trust"), QStringLiteral("1")}, "y\n");
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(asked + QStringLiteral("信頼する証明書として登録しました\n"))) << r.out.toStdString();
    EXPECT_EQ(storedPin(), fingerprint);

    r = lumcheck({QStringLiteral("--trust"), QStringLiteral("1")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.endsWith(QStringLiteral("home: ｻｰﾊﾞｰ証明書は信頼されています\n"))) << r.out.toStdString();
    EXPECT_EQ(logins(), 0) << "a look, not a login";

    r = lumcheck({});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out.count(QStringLiteral("\tテスト\n")), 6) << r.out.toStdString() << r.err.toStdString();
    EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
}

// What --trust refuses before it connects anywhere.
TEST_P(DovecotTlsLumcheck, TrustRefusesWhatItCannotLookAt)
{
    const struct {
        QStringList args;
        QString err;
    } rows[] = {
        {{"--trust", "2"}, "lumcheck: plain: 暗号化を使わないｱｶｳﾝﾄです。先に暗号化を設定してください\n"},
        {{"--trust", "3"}, "lumcheck: --trust 3: ｱｶｳﾝﾄ番号は1から2で指定してください\n"},
        {{"--trust", "x"}, "lumcheck: --trust x: ｱｶｳﾝﾄ番号は1から2で指定してください\n"},
        {{"--trust", "1", "--json"}, "lumcheck: --trust は他の指定と一緒には使えません\n"},
    };
    for (const auto &row : rows) {
        const LumcheckRun r = lumcheck(row.args);
        EXPECT_EQ(r.exitCode, 2) << row.args.join(' ').toStdString();
        EXPECT_EQ(r.err, row.err);
    }
    EXPECT_EQ(storedPin(), QString());
    EXPECT_EQ(logins(), 0);
}

INSTANTIATE_TEST_SUITE_P(Modes, DovecotTlsLumcheck,
                         testing::Combine(testing::Values(tlsRows[0]), testing::Values(SslMode::Tls, SslMode::Stls),
                                          testing::Values(MailProtocol::Pop3)),
                         [](const auto &info) { return std::get<SslMode>(info.param) == SslMode::Tls ? "pop3s" : "stls"; });

} // namespace
} // namespace lum::test
