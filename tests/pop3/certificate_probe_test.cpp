// The certificate look-up of the account dialog and lumcheck --trust, on a transport that
// records what it is asked: what it learns, and that nothing but STLS and QUIT (STARTTLS and
// LOGOUT) goes out.
#include "pop3/certificate_probe.h"

#include <gtest/gtest.h>

#include <optional>

namespace lum {
namespace {

struct RecordingTransport : Transport {
    QStringList calls;
    QByteArray sent;
    QByteArray pin;
    void open(ConnId, const QString &host, quint16 port) override
    {
        calls << QStringLiteral("open %1:%2").arg(host).arg(port);
    }
    void openTls(ConnId, const QString &host, quint16 port, const QByteArray &p) override
    {
        calls << QStringLiteral("openTls %1:%2").arg(host).arg(port);
        pin = p;
    }
    void startTls(ConnId, const QByteArray &p) override
    {
        calls << QStringLiteral("startTls");
        pin = p;
    }
    void send(ConnId, const QByteArray &bytes) override { sent += bytes; }
    void close(ConnId) override { calls << QStringLiteral("close"); }
};

// What the server does, as calls into the probe's events; chunk > 0 splits received bytes.
using Script = std::function<void(CertificateProbe &, ConnId)>;

Script bytes(QByteArray text)
{
    return [text](CertificateProbe &p, ConnId id) { p.received(id, text); };
}

struct Row {
    const char *name;
    SslMode mode;
    QList<Script> server;
    std::optional<ProbeOutcome::Kind> kind; // empty: no outcome yet
    QString message;
    QByteArray fingerprint;
    QByteArray sent;
    MailProtocol protocol = MailProtocol::Pop3;
};

void PrintTo(const Row &r, std::ostream *os) { *os << r.name; }

class Probe : public testing::TestWithParam<Row> {};

TEST_P(Probe, LearnsTheCertificateWithoutLoggingIn)
{
    const Row &row = GetParam();
    RecordingTransport transport;
    QList<ProbeOutcome> outcomes;
    CertificateProbe probe(transport, [&](const ProbeOutcome &o) { outcomes << o; });
    probe.start(QStringLiteral("mail.example.jp"), 995, row.mode, "0a1b", row.protocol);
    for (const Script &step : row.server)
        step(probe, 1);
    EXPECT_EQ(transport.calls.first(), row.mode == SslMode::Tls ? u"openTls mail.example.jp:995"
                                                                 : u"open mail.example.jp:995");
    EXPECT_EQ(transport.sent, row.sent);
    if (!row.kind) {
        EXPECT_TRUE(outcomes.isEmpty());
        EXPECT_TRUE(probe.running());
        return;
    }
    ASSERT_EQ(outcomes.size(), 1);
    EXPECT_EQ(outcomes[0].kind, *row.kind);
    EXPECT_EQ(outcomes[0].message, row.message);
    EXPECT_EQ(outcomes[0].fingerprint, row.fingerprint);
    EXPECT_FALSE(probe.running());
    EXPECT_EQ(transport.calls.count(QStringLiteral("close")), 1);
    // Late events of the connection change nothing.
    probe.closed(1);
    probe.encrypted(1);
    EXPECT_EQ(outcomes.size(), 1);
}

const Script encrypted = [](CertificateProbe &p, ConnId id) { p.encrypted(id); };
const Script selfSigned = [](CertificateProbe &p, ConnId id) { p.tlsFailed(id, TlsError::SelfSigned, "c0ffee"); };
const Script timeUp = [](CertificateProbe &p, ConnId) { p.timeUp(); };
const Script connected = [](CertificateProbe &p, ConnId id) { p.connected(id); };
Script dripped(const QByteArray &text)
{
    return [text](CertificateProbe &p, ConnId id) {
        for (char c : text)
            p.received(id, QByteArrayView(&c, 1));
    };
}

using K = ProbeOutcome::Kind;
const QString handshake = QStringLiteral("暗号化通信を開始できません");

INSTANTIATE_TEST_SUITE_P(
    Servers, Probe,
    testing::Values(
        Row{"pop3s_trusted", SslMode::Tls, {connected, encrypted}, K::Trusted, {}, {}, "QUIT\r\n"},
        Row{"pop3s_refused", SslMode::Tls, {connected, selfSigned}, K::Refused,
            QStringLiteral("ｻｰﾊﾞｰ証明書が自己署名です"), "c0ffee", ""},
        Row{"pop3s_no_certificate", SslMode::Tls,
            {[](CertificateProbe &p, ConnId id) { p.tlsFailed(id, TlsError::Handshake, {}); }}, K::Failed,
            handshake, {}, ""},
        Row{"pop3s_plain_greeting", SslMode::Tls, {connected, bytes("+OK ready\r\n")}, K::Failed, handshake, {}, ""},
        Row{"pop3s_silent_until_time_up", SslMode::Tls, {connected, timeUp}, K::Failed,
            QStringLiteral("ｻｰﾊﾞｰから時間内に応答がありませんでした"), {}, ""},
        Row{"stls_trusted", SslMode::Stls, {bytes("+OK ready\r\n"), bytes("+OK go\r\n"), encrypted}, K::Trusted, {},
            {}, "STLS\r\nQUIT\r\n"},
        Row{"stls_every_byte", SslMode::Stls, {dripped("+OK ready\r\n"), dripped("+OK go\r\n"), selfSigned},
            K::Refused, QStringLiteral("ｻｰﾊﾞｰ証明書が自己署名です"), "c0ffee", "STLS\r\n"},
        Row{"stls_waits_for_the_handshake", SslMode::Stls, {bytes("+OK ready\r\n+OK go\r\n")}, std::nullopt, {}, {},
            "STLS\r\n"},
        Row{"stls_refused", SslMode::Stls, {bytes("+OK ready\r\n"), bytes("-ERR no\r\n")}, K::Failed,
            QStringLiteral("ｻｰﾊﾞｰが暗号化(STLS)に対応していません"), {}, "STLS\r\nQUIT\r\n"},
        Row{"stls_plain_text_after_ok", SslMode::Stls, {bytes("+OK ready\r\n"), bytes("+OK go\r\n+OK user\r\n")},
            K::Failed, handshake, {}, "STLS\r\n"},
        Row{"greeting_refused", SslMode::Stls, {bytes("-ERR busy\r\n")}, K::Failed,
            QStringLiteral("ｻｰﾊﾞｰに拒否されました"), {}, "QUIT\r\n"},
        Row{"starttls_trusted", SslMode::Stls,
            {bytes("* OK [CAPABILITY IMAP4rev1 STARTTLS] ready\r\n"), dripped("* CAPABILITY X\r\nA1 OK go\r\n"), encrypted},
            K::Trusted, {}, {}, "A1 STARTTLS\r\nA2 LOGOUT\r\n", MailProtocol::Imap},
        Row{"starttls_refused", SslMode::Stls, {bytes("* OK ready\r\n"), bytes("A1 BAD no\r\n")}, K::Failed,
            QStringLiteral("ｻｰﾊﾞｰが暗号化(STARTTLS)に対応していません"), {}, "A1 STARTTLS\r\nA2 LOGOUT\r\n", MailProtocol::Imap},
        Row{"starttls_plain_text_after_ok", SslMode::Stls, {bytes("* OK ready\r\n"), bytes("A1 OK go\r\n* OK\r\n")},
            K::Failed, handshake, {}, "A1 STARTTLS\r\n", MailProtocol::Imap},
        Row{"imap_preauth", SslMode::Stls, {bytes("* PREAUTH in\r\n")}, K::Failed,
            QStringLiteral("ｻｰﾊﾞｰが暗号化(STARTTLS)に対応していません"), {}, "A2 LOGOUT\r\n", MailProtocol::Imap},
        Row{"connection_refused", SslMode::Stls,
            {[](CertificateProbe &p, ConnId id) { p.failed(id, 10061); }}, K::Failed,
            QStringLiteral("接続が拒否されました"), {}, ""},
        Row{"closed_before_the_greeting", SslMode::Stls,
            {connected, [](CertificateProbe &p, ConnId id) { p.closed(id); }}, K::Failed,
            QStringLiteral("ﾘﾓｰﾄﾎｽﾄから切断されました"), {}, ""}),
    [](const auto &info) { return std::string(info.param.name); });

// The pin goes with the handshake, so a pinned certificate reads as trusted; events of an
// earlier start are not taken for the new one.
TEST(ProbeRestart, PinGoesWithTheHandshakeAndOldEventsAreDropped)
{
    RecordingTransport transport;
    QList<ProbeOutcome> outcomes;
    CertificateProbe probe(transport, [&](const ProbeOutcome &o) { outcomes << o; });
    probe.start(QStringLiteral("h"), 995, SslMode::Tls, "0a1b");
    EXPECT_EQ(transport.pin, "0a1b");
    probe.start(QStringLiteral("h"), 110, SslMode::Stls, "");
    probe.encrypted(1);
    EXPECT_TRUE(outcomes.isEmpty());
    probe.received(2, "+OK\r\n");
    probe.received(2, "+OK\r\n");
    EXPECT_EQ(transport.pin, "");
    probe.encrypted(2);
    ASSERT_EQ(outcomes.size(), 1);
    EXPECT_EQ(outcomes[0].kind, K::Trusted);
}

} // namespace
} // namespace lum
