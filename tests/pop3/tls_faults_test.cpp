// TLS gone wrong on real sockets, through the Qt transport: each row is a bad first account,
// then a good plain one that must still be checked. Whatever the bad server does, it never
// sees USER or PASS, neither in the clear nor after a refused handshake.
#include "support/live_rig.h"
#include "support/scripted_server.h"
#include "support/test_pki.h"
#include "support/tls_scripted_server.h"

#include <gtest/gtest.h>

namespace lum::test {
namespace {

using Then = TlsScriptedServer::Then;

const char *const handshakeFailed = "暗号化通信を開始できません";
const char *const timedOut = "ｻｰﾊﾞｰから時間内に応答がありませんでした";

enum class Cert { None, Trusted, ChainOf50 };

struct FaultRow {
    const char *name;
    SslMode mode; // of the bad account
    Then then;
    Cert cert = Cert::None;
    const char *host = "localhost";
    const char *message = handshakeFailed; // exact; nullptr for the control row that logs in
    bool fingerprinted = false;            // " SHA-256:" and the leaf's fingerprint follow
    bool timesOut = false;                 // the clock is moved past the session's minute
};

void PrintTo(const FaultRow &r, std::ostream *os) { *os << r.name; }

class TlsFaults : public testing::TestWithParam<FaultRow> {};

TEST_P(TlsFaults, BadServerSeesNoLoginAndTheNextAccountIsChecked)
{
    const FaultRow &row = GetParam();
    TestPki pki;
    TestPki::Issued leaf;
    if (row.cert == Cert::Trusted)
        leaf = pki.leaf(QStringLiteral("localhost"));
    else if (row.cert == Cert::ChainOf50)
        leaf = pki.longChain(QStringLiteral("localhost"), 50);
    if (row.cert != Cert::None) {
        ASSERT_EQ(leaf.chain().size(), row.cert == Cert::ChainOf50 ? 50 : 1);
        ASSERT_FALSE(leaf.key().isNull());
    }

    TlsScriptedServer bad({row.mode == SslMode::Stls, row.then, leaf.chain(), leaf.key()});
    ScriptedServer good({jpMessage(wYamada, wTest, "g1@x"), jpMessage(wBill, wMeeting, "g2@x")},
                        ScriptedServer::Style::Whole);
    LiveRig rig({{QStringLiteral("bad"), QString::fromLatin1(row.host), bad.port(), QStringLiteral("user"),
                  QStringLiteral("pass"), 1, row.mode},
                 {QStringLiteral("good"), QStringLiteral("127.0.0.1"), good.port()}},
                {{"Option3value", QStringLiteral("0")}});
    rig.transport->addCaCertificates(pki.ca());
    rig.engine->checkmail();
    if (row.timesOut) {
        // The client's first TLS bytes are in (or, on a plain account, it is connected and
        // waits for a greeting): then a minute passes without a word.
        ASSERT_TRUE(rig.runUntil([&] { return row.mode == SslMode::None ? bad.connections() > 0 : bad.tlsBytesSeen(); },
                                 10000));
        rig.runUntil([] { return false; }, 200);
        EXPECT_TRUE(rig.view.messages.isEmpty()) << rig.view.messages.join('|').toStdString();
        rig.timers.advance(60000);
    }
    ASSERT_TRUE(rig.runUntil([&] { return !rig.view.checkEnds.isEmpty(); }, 30000)) << "no end of the cycle";

    std::string expected;
    if (row.message) {
        expected = row.message;
        if (row.fingerprinted)
            expected += " SHA-256:" + leaf.fingerprint().toStdString();
    }
    EXPECT_EQ(rig.view.messages.join('|').toStdString(), expected);
    EXPECT_EQ(rig.engine->total(), 2);
    EXPECT_EQ(good.commands(), (QList<QByteArray>{"CAPA", "USER user", "PASS pass", "STAT", "TOP 1 5", "TOP 2 5", "QUIT"}));
    const QByteArray seen = bad.received();
    EXPECT_EQ(seen.contains("USER"), !row.message) << seen.toStdString();
    EXPECT_EQ(seen.contains("PASS"), !row.message);
}

const FaultRow faultRows[] = {
    // The scripted server itself, done right: it does see the login.
    {"pop3s_trusted_control", SslMode::Tls, Then::Handshake, Cert::Trusted, "localhost", nullptr},
    {"stls_trusted_control", SslMode::Stls, Then::Handshake, Cert::Trusted, "localhost", nullptr},
    {"pop3s_closed_in_handshake", SslMode::Tls, Then::Close},
    {"stls_closed_in_handshake", SslMode::Stls, Then::Close},
    {"pop3s_garbage_for_tls", SslMode::Tls, Then::Garbage},
    {"stls_garbage_for_tls", SslMode::Stls, Then::Garbage},
    {"pop3s_plain_text_for_tls", SslMode::Tls, Then::PlainText},
    {"stls_ok_then_plain_text", SslMode::Stls, Then::PlainText},
    {"pop3s_chain_of_50", SslMode::Tls, Then::Handshake, Cert::ChainOf50, "localhost", "ｻｰﾊﾞｰ証明書が自己署名です", true},
    {"stls_chain_of_50", SslMode::Stls, Then::Handshake, Cert::ChainOf50, "localhost", "ｻｰﾊﾞｰ証明書が自己署名です", true},
    {"pop3s_endless_handshake", SslMode::Tls, Then::Silent, Cert::None, "localhost", timedOut, false, true},
    {"stls_endless_handshake", SslMode::Stls, Then::Silent, Cert::None, "localhost", timedOut, false, true},
    {"tls_port_on_plain_account", SslMode::None, Then::Handshake, Cert::Trusted, "localhost", timedOut, false, true},
    {"pop3s_trusted_for_another_name", SslMode::Tls, Then::Handshake, Cert::Trusted, "127.0.0.1",
     "ｻｰﾊﾞｰ証明書のﾎｽﾄ名が一致しません", true},
    {"stls_trusted_for_another_name", SslMode::Stls, Then::Handshake, Cert::Trusted, "127.0.0.1",
     "ｻｰﾊﾞｰ証明書のﾎｽﾄ名が一致しません", true},
};

INSTANTIATE_TEST_SUITE_P(RealSockets, TlsFaults, testing::ValuesIn(faultRows),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace lum::test
