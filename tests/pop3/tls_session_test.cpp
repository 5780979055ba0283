// Encrypted sessions against the in-memory server: POP3S and STLS (RFC 2595 §4), and every
// way the encryption can fail without USER or PASS going out in the clear.
#include "support/rig.h"

#include <gtest/gtest.h>

#include <QFile>
#include <optional>

namespace lum::test {
namespace {

const QStringList checkDialogue{"USER user", "PASS secret", "STAT", "TOP 1 5", "QUIT"};

std::unique_ptr<Rig> accountsAB(std::optional<SslMode> modeOfA)
{
    auto rig = std::make_unique<Rig>(
        QList<TestAccount>{{QStringLiteral("A"), QStringLiteral("h1"), 110, QStringLiteral("user"),
                            QStringLiteral("secret"), 1, modeOfA.value_or(SslMode::None)},
                           {QStringLiteral("B"), QStringLiteral("h2")}},
        TestSettings{{"Option3value", QStringLiteral("0")}, {"Option8value", QStringLiteral("1")}});
    if (!modeOfA) {
        // A store written before "Sslmode" existed: the same file without those keys.
        QFile file(rig->temp.path());
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        QByteArray text = file.readAll();
        file.close();
        EXPECT_EQ(text.count("Sslmode"), 2);
        text.replace("Sslmode1=0\n", "").replace("Sslmode2=0\n", "");
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
        file.close();
        rig->temp.store().reload();
        EXPECT_EQ(rig->temp.store().readSetting(QStringLiteral("Sslmode1"), QStringLiteral("none")), "none");
    }
    rig->box(1).pass = "secret";
    rig->box(1).messages = {jpMessage(wYamada, wTest, "a1@x")};
    return rig;
}

struct DialogueRow {
    const char *name;
    std::optional<SslMode> mode;
    int chunk;
    bool openedTls;
    QStringList clear; // what the server received before encryption
    bool capa = false; // "Option15value": CAPA goes out only once encrypted
};

void PrintTo(const DialogueRow &r, std::ostream *os) { *os << r.name; }

class TlsDialogue : public testing::TestWithParam<DialogueRow> {};

TEST_P(TlsDialogue, LogsInOnlyOnceEncrypted)
{
    const DialogueRow &row = GetParam();
    auto rig = accountsAB(row.mode);
    rig->box(1).chunk = row.chunk;
    rig->box(1).capa = "STLS\r\n";
    rig->options.fastCheck = row.capa;
    rig->engine->checkmail();
    rig->settle();
    const FakeServer::Conn &a = rig->server->conns.first();
    EXPECT_EQ(a.openedTls, row.openedTls);
    const QStringList stls = row.mode == SslMode::Stls ? QStringList{"STLS"} : QStringList();
    EXPECT_EQ(a.commands, stls + (row.capa ? QStringList{"CAPA"} : QStringList()) + checkDialogue);
    EXPECT_EQ(a.clearCommands, row.clear);
    EXPECT_EQ(rig->view.messages, QStringList());
    EXPECT_EQ(rig->engine->total(), 1);
    EXPECT_EQ(rig->engine->log().startsWith("STLS\r\n"), row.mode == SslMode::Stls);
    EXPECT_FALSE(rig->engine->log().contains("secret"));
}

INSTANTIATE_TEST_SUITE_P(
    Modes, TlsDialogue,
    testing::Values(DialogueRow{"old_store", std::nullopt, 0, false, checkDialogue},
                    DialogueRow{"none", SslMode::None, 0, false, checkDialogue},
                    DialogueRow{"pop3s", SslMode::Tls, 0, true, {}},
                    DialogueRow{"pop3s_every_byte", SslMode::Tls, 1, true, {}},
                    DialogueRow{"stls", SslMode::Stls, 0, false, {"STLS"}},
                    DialogueRow{"stls_every_byte", SslMode::Stls, 1, false, {"STLS"}},
                    DialogueRow{"stls_capabilities", SslMode::Stls, 0, false, {"STLS"}, true}),
    [](const auto &info) { return std::string(info.param.name); });

struct FailureRow {
    const char *name;
    SslMode mode;
    std::function<void(Mailbox &)> server;
    const char *message;
    QStringList commands; // all that account A's server received
};

void PrintTo(const FailureRow &r, std::ostream *os) { *os << r.name; }

class TlsFailure : public testing::TestWithParam<FailureRow> {};

TEST_P(TlsFailure, EndsTheSessionWithoutTheLogin)
{
    const FailureRow &row = GetParam();
    auto rig = accountsAB(row.mode);
    row.server(rig->box(1));
    rig->engine->checkmail();
    rig->settle();
    rig->timers.advance(60000); // "Timeupval" 1: a silent session ends
    rig->settle();
    EXPECT_EQ(rig->server->conns.first().commands, row.commands);
    EXPECT_EQ(rig->view.messages, QStringList{QString::fromUtf8(row.message)});
    ASSERT_EQ(rig->server->conns.size(), 2) << "account B is checked next";
    EXPECT_EQ(rig->server->conns[1].commands.first(), "USER user");
    EXPECT_EQ(rig->view.checkEnds.size(), 1);
}

const char *const handshakeFailed = "暗号化通信を開始できません";

// The STLS +OK followed at once by plain text, in chunks of the given size (0: whole).
template <int chunk>
void plainAfterStlsOk(Mailbox &m)
{
    m.chunk = chunk;
    m.override = [](const QByteArray &c) -> QByteArray {
        return c == "STLS" ? "+OK go ahead\r\n+OK logged in\r\n" : "";
    };
}

INSTANTIATE_TEST_SUITE_P(
    Faults, TlsFailure,
    testing::Values(
        FailureRow{"stls_refused", SslMode::Stls, [](Mailbox &m) { m.stls = false; },
                   "ｻｰﾊﾞｰが暗号化(STLS)に対応していません", {"STLS", "QUIT"}},
        FailureRow{"stls_refused_every_byte", SslMode::Stls,
                   [](Mailbox &m) {
                       m.stls = false;
                       m.chunk = 1;
                   },
                   "ｻｰﾊﾞｰが暗号化(STLS)に対応していません", {"STLS", "QUIT"}},
        FailureRow{"greeting_refused", SslMode::Stls, [](Mailbox &m) { m.greeting = "-ERR busy\r\n"; },
                   " busy\r\n", {"QUIT"}},
        FailureRow{"plain_text_after_stls_ok", SslMode::Stls, plainAfterStlsOk<0>, handshakeFailed, {"STLS"}},
        FailureRow{"plain_text_after_stls_ok_every_byte", SslMode::Stls, plainAfterStlsOk<1>, handshakeFailed,
                   {"STLS"}},
        FailureRow{"stls_handshake_fails", SslMode::Stls,
                   [](Mailbox &m) { m.tlsFailure = TlsError::Handshake; }, handshakeFailed, {"STLS"}},
        FailureRow{"stls_expired", SslMode::Stls, [](Mailbox &m) { m.tlsFailure = TlsError::Expired; },
                   "ｻｰﾊﾞｰ証明書の有効期限が切れています", {"STLS"}},
        FailureRow{"pop3s_self_signed", SslMode::Tls,
                   [](Mailbox &m) { m.tlsFailure = TlsError::SelfSigned; }, "ｻｰﾊﾞｰ証明書が自己署名です", {}},
        FailureRow{"pop3s_self_signed_tells_its_fingerprint", SslMode::Tls,
                   [](Mailbox &m) {
                       m.tlsFailure = TlsError::SelfSigned;
                       m.refusedFingerprint = "0a1b";
                   },
                   "ｻｰﾊﾞｰ証明書が自己署名です SHA-256:0a1b", {}},
        FailureRow{"pop3s_host_name", SslMode::Tls, [](Mailbox &m) { m.tlsFailure = TlsError::HostName; },
                   "ｻｰﾊﾞｰ証明書のﾎｽﾄ名が一致しません", {}},
        FailureRow{"pop3s_handshake_never_ends", SslMode::Tls, [](Mailbox &m) { m.tlsSilent = true; },
                   "ｻｰﾊﾞｰから時間内に応答がありませんでした", {}},
        FailureRow{"stls_handshake_never_ends", SslMode::Stls, [](Mailbox &m) { m.tlsSilent = true; },
                   "ｻｰﾊﾞｰから時間内に応答がありませんでした", {"STLS"}}),
    [](const auto &info) { return std::string(info.param.name); });

// The pinned certificate goes with each request for TLS.
TEST(TlsSession, ThePinGoesWithTheHandshake)
{
    for (const SslMode mode : {SslMode::Tls, SslMode::Stls}) {
        auto rig = accountsAB(mode);
        rig->temp.store().writeSetting(QStringLiteral("Sslpin1"), QStringLiteral("0a1b"));
        rig->engine->checkmail();
        rig->settle();
        EXPECT_EQ(rig->server->conns.first().pin, "0a1b");
        EXPECT_EQ(rig->engine->total(), 1);
    }
}

// A server that speaks plain POP3 on an account set to POP3S: its greeting arrives where
// the handshake was due.
TEST(TlsSession, PlainGreetingWhereTlsWasDueIsAFailedHandshake)
{
    auto rig = accountsAB(SslMode::Tls);
    rig->engine->checkmail();
    rig->server->dropQueue();
    rig->server->injectBytes(rig->server->lastId(), "+OK POP3 ready\r\n");
    rig->settle();
    EXPECT_EQ(rig->view.messages, QStringList{QString::fromUtf8(handshakeFailed)});
    EXPECT_TRUE(rig->server->conns.first().commands.isEmpty());
    EXPECT_EQ(rig->server->conns.size(), 2);
}

} // namespace
} // namespace lum::test
