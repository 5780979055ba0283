// OAuth 2.0 sign-in: the AUTH line in place of USER and PASS, the refused token renewed once.
#include "support/rig.h"

#include "pop3/sasl.h"

#include <gtest/gtest.h>

namespace lum::test {
namespace {

struct InitialResponseRow {
    const char *name;
    SaslMechanism mechanism;
    const char *user;
    QByteArray decoded;
};

void PrintTo(const InitialResponseRow &r, std::ostream *os) { *os << r.name; }

class InitialResponse : public testing::TestWithParam<InitialResponseRow> {};

TEST_P(InitialResponse, IsExactlyTheMechanismsBytes)
{
    const InitialResponseRow &row = GetParam();
    const QByteArray line = authCommand(row.mechanism, row.user, "pop.example.jp", 995, "tok.en");
    ASSERT_TRUE(line.endsWith("\r\n"));
    const QList<QByteArray> words = line.chopped(2).split(' ');
    ASSERT_EQ(words.size(), 3);
    EXPECT_EQ(words[0] + ' ' + words[1], "AUTH " + mechanismName(row.mechanism));
    EXPECT_EQ(QByteArray::fromBase64(words[2]), row.decoded);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, InitialResponse,
    testing::Values(
        InitialResponseRow{"OAuthBearer", SaslMechanism::OAuthBearer, "taro@example.jp",
                           QByteArray("n,a=taro@example.jp,\x01host=pop.example.jp\x01port=995\x01"
                                      "auth=Bearer tok.en\x01\x01")},
        InitialResponseRow{"OAuthBearerEscapesTheName", SaslMechanism::OAuthBearer, "a,b=c",
                           QByteArray("n,a=a=2Cb=3Dc,\x01host=pop.example.jp\x01port=995\x01"
                                      "auth=Bearer tok.en\x01\x01")},
        InitialResponseRow{"XOAuth2", SaslMechanism::XOAuth2, "taro@example.jp",
                           QByteArray("user=taro@example.jp\x01" "auth=Bearer tok.en\x01\x01")}),
    [](const auto &info) { return std::string(info.param.name); });

struct FakeTokens : TokenSource {
    struct Request {
        quint64 id;
        QString key;
        bool renew;
    };
    QList<Request> requests;
    void requestToken(quint64 r, const OAuthSettings &client, const QString &key, bool renew) override
    {
        EXPECT_EQ(client.clientId, "lumora-test");
        requests << Request{r, key, renew};
    }
};

struct Answer {
    std::optional<QString> token;
    bool signInNeeded = false;
};

struct OAuthRow {
    const char *name;
    QByteArray capa;       // CAPA's data lines; empty: CAPA refused
    QList<Answer> answers; // to the token requests in turn
    QStringList commands;  // of account 1 ("Home"); "Work" logs in with USER/PASS after it
    QList<bool> renewals;  // of the token requests
    QString message;
    bool source = true;    // false: the engine has no TokenSource
};

void PrintTo(const OAuthRow &r, std::ostream *os) { *os << r.name; }

class OAuthAccount : public testing::TestWithParam<OAuthRow> {};

// The server takes only the token "good"; any other gets a challenge, then "-ERR".
QByteArray signInServer(const QByteArray &line, bool &challenged)
{
    if (challenged) {
        challenged = false;
        return "-ERR [AUTH] Authentication failed.\r\n";
    }
    if (!line.startsWith("AUTH "))
        return {};
    if (QByteArray::fromBase64(line.split(' ').value(2)).contains("auth=Bearer good\x01"))
        return "+OK Logged in.\r\n";
    challenged = true;
    return "+ eyJzdGF0dXMiOiI0MDEiLCJzY2hlbWVzIjoiYmVhcmVyIn0=\r\n";
}

QString authLine(const char *mechanism, const char *token)
{
    return QString::fromLatin1(authCommand(QByteArray(mechanism) == "OAUTHBEARER" ? SaslMechanism::OAuthBearer
                                                                                  : SaslMechanism::XOAuth2,
                                           "taro@example.jp", "h1", 995, token)
                                   .chopped(2));
}

TEST_P(OAuthAccount, SignsInWithTheTokenAndTheOthersAreChecked)
{
    const OAuthRow &row = GetParam();
    Rig rig({{"Home", "h1", 995, "taro@example.jp", ""}, {"Work", "h2"}},
            {{"Option3value", "0"}, {"Option8value", "1"}});
    for (const auto &[k, v] : TestSettings{{"Authmode1", "1"}, {"Oauthclient1", "lumora-test"}})
        rig.temp.store().writeSetting(k, v);
    bool challenged = false;
    rig.box(1).capa = row.capa;
    rig.box(1).override = [&challenged](const QByteArray &line) { return signInServer(line, challenged); };
    FakeTokens tokens;
    if (row.source)
        rig.engine->setTokenSource(&tokens);
    rig.engine->checkmail();
    rig.settle();
    QList<bool> renewals;
    for (qsizetype i = 0; i < tokens.requests.size(); ++i) {
        EXPECT_EQ(tokens.requests[i].key, "oauth:taro%40example.jp@h1:995");
        renewals << tokens.requests[i].renew;
        const Answer a = row.answers.value(i);
        rig.engine->tokenArrived(tokens.requests[i].id, a.token, "HTTP 503", a.signInNeeded);
        rig.settle();
    }
    EXPECT_EQ(renewals, row.renewals);
    EXPECT_EQ(rig.server->allCommands(), (row.commands + QStringList{"USER user", "PASS pass", "STAT", "QUIT"}));
    EXPECT_EQ(rig.view.messages, row.message.isEmpty() ? QStringList() : QStringList{row.message});
    for (const QString &command : rig.server->allCommands()) {
        if (command.startsWith("AUTH ")) {
            EXPECT_TRUE(rig.engine->log().contains(command.section(' ', 0, 1).toLatin1() + " ****"));
            EXPECT_FALSE(rig.engine->log().contains(command.section(' ', 2).toLatin1()));
        }
    }
}

const QByteArray bearerListed = "SASL PLAIN OAUTHBEARER XOAUTH2\r\n";
const QString needed = "サインインが必要です (Home)";

INSTANTIATE_TEST_SUITE_P(
    Rows, OAuthAccount,
    testing::Values(
        OAuthRow{"OAuthBearerWhenListed", bearerListed, {{"good"}},
                 {"CAPA", authLine("OAUTHBEARER", "good"), "STAT", "QUIT"}, {false}, {}},
        OAuthRow{"XOAuth2WhenNotListed", "SASL PLAIN\r\n", {{"good"}},
                 {"CAPA", authLine("XOAUTH2", "good"), "STAT", "QUIT"}, {false}, {}},
        OAuthRow{"RefusedTokenIsRenewedOnce", bearerListed, {{"stale"}, {"good"}},
                 {"CAPA", authLine("OAUTHBEARER", "stale"), "AQ==", "QUIT", "CAPA", authLine("OAUTHBEARER", "good"),
                  "STAT", "QUIT"},
                 {false, true}, {}},
        OAuthRow{"RefusedTwice", "", {{"stale"}, {"stale"}},
                 {"CAPA", authLine("XOAUTH2", "stale"), "", "QUIT", "CAPA", authLine("XOAUTH2", "stale"), "",
                  "QUIT"},
                 {false, true}, needed},
        OAuthRow{"RevokedRefreshToken", bearerListed, {{std::nullopt, true}}, {}, {false}, needed},
        OAuthRow{"TokenEndpointFails", bearerListed, {{std::nullopt, false}}, {}, {false},
                 "アクセストークンを取得できません (Home): HTTP 503"},
        OAuthRow{"TokenBreakingTheLine", bearerListed, {{"good\r\nDELE 1"}}, {}, {false},
                 "アクセストークンを取得できません (Home): 使えない文字が含まれています"},
        OAuthRow{"NoTokenSource", bearerListed, {}, {}, {}, "OAuth 2.0 のサインインを使えません (Home)", false}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace lum::test
