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
    const QByteArray response = initialResponse(row.mechanism, row.user, "pop.example.jp", 995, "tok.en");
    EXPECT_EQ(QByteArray::fromBase64(response), row.decoded);
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
    SslMode sslmode = SslMode::Tls;
    QByteArray refusal = "-ERR [AUTH] Authentication failed.\r\n"; // of a token not taken
};

void PrintTo(const OAuthRow &r, std::ostream *os) { *os << r.name; }

class OAuthAccount : public testing::TestWithParam<OAuthRow> {};

// The server takes the tokens that begin with "good"; any other gets a challenge, then the
// refusal. A bare AUTH gets an empty "+ ".
struct SignInServer {
    QByteArray refusal;
    bool challenged = false;
    QByteArray operator()(const QByteArray &line)
    {
        const QByteArray sasl = QByteArray::fromBase64(line.split(' ').constLast());
        if (std::exchange(challenged, false))
            return refusal;
        if (line.startsWith("AUTH ") && line.count(' ') == 1)
            return "+ \r\n";
        if (!sasl.contains("auth=Bearer "))
            return {};
        challenged = !sasl.contains("auth=Bearer good");
        return challenged ? "+ eyJzdGF0dXMiOiI0MDEiLCJzY2hlbWVzIjoiYmVhcmVyIn0=\r\n" : "+OK Logged in.\r\n";
    }
};

QByteArray response(SaslMechanism m, const QByteArray &token)
{
    return initialResponse(m, "taro@example.jp", "h1", 995, QString::fromLatin1(token));
}

// The login as the server receives it: the response on the AUTH line, or on the next.
QStringList login(SaslMechanism m, const QByteArray &token, bool twoLines)
{
    const QString auth = QString::fromLatin1("AUTH " + mechanismName(m));
    const QString r = QString::fromLatin1(response(m, token));
    return twoLines ? QStringList{auth, r} : QStringList{auth + u' ' + r};
}

// The longest token whose AUTH line, CR LF included, takes at most 255 octets.
QByteArray longestOnOneLine(SaslMechanism m)
{
    QByteArray token = "good";
    while (login(m, token + 'x', false).constFirst().size() + 2 <= 255)
        token += 'x';
    return token;
}

TEST_P(OAuthAccount, SignsInWithTheTokenAndTheOthersAreChecked)
{
    const OAuthRow &row = GetParam();
    Rig rig({{"Home", "h1", 995, "taro@example.jp", "", 1, row.sslmode}, {"Work", "h2"}},
            {{"Option3value", "0"}, {"Option8value", "1"}});
    for (const auto &[k, v] : TestSettings{{"Authmode1", "1"}, {"Oauthclient1", "lumora-test"}})
        rig.temp.store().writeSetting(k, v);
    rig.box(1).capa = row.capa;
    rig.box(1).override = SignInServer{row.refusal};
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
    for (const Answer &a : row.answers) {
        for (const SaslMechanism m : {SaslMechanism::OAuthBearer, SaslMechanism::XOAuth2})
            EXPECT_FALSE(a.token && rig.engine->log().contains(response(m, a.token->toLatin1())));
    }
}

const QByteArray bearerListed = "SASL PLAIN OAUTHBEARER XOAUTH2\r\n";
const QString needed = "サインインが必要です (Home)";
constexpr SaslMechanism bearer = SaslMechanism::OAuthBearer, xoauth2 = SaslMechanism::XOAuth2;
const QByteArray bearerAt255 = longestOnOneLine(bearer), xoauth2At255 = longestOnOneLine(xoauth2);
// Access tokens as the providers give them.
const QByteArray good = "good" + QByteArray(1496, 'x'), stale = "stale" + QByteArray(1495, 'x');
const QStringList capa = {"CAPA"}, stat = {"STAT", "QUIT"};

INSTANTIATE_TEST_SUITE_P(
    Rows, OAuthAccount,
    testing::Values(
        OAuthRow{"OAuthBearerWhenListedAt255Octets", bearerListed, {{bearerAt255}},
                 capa + login(bearer, bearerAt255, false) + stat, {false}, {}},
        OAuthRow{"OAuthBearerOver255Octets", bearerListed, {{bearerAt255 + 'x'}},
                 capa + login(bearer, bearerAt255 + 'x', true) + stat, {false}, {}},
        OAuthRow{"XOAuth2WhenNotListedAt255Octets", "SASL PLAIN\r\n", {{xoauth2At255}},
                 capa + login(xoauth2, xoauth2At255, false) + stat, {false}, {}},
        OAuthRow{"XOAuth2Over255Octets", "SASL PLAIN\r\n", {{xoauth2At255 + 'x'}},
                 capa + login(xoauth2, xoauth2At255 + 'x', true) + stat, {false}, {}},
        OAuthRow{"RefusedTokenIsRenewedOnce", bearerListed, {{stale}, {good}},
                 capa + login(bearer, stale, true) + QStringList{"AQ==", "QUIT", "CAPA"} + login(bearer, good, true)
                     + stat,
                 {false, true}, {}},
        OAuthRow{"RefusedTwice", "", {{"stale"}, {"stale"}},
                 capa + login(xoauth2, "stale", false) + QStringList{"", "QUIT", "CAPA"}
                     + login(xoauth2, "stale", false) + QStringList{"", "QUIT"},
                 {false, true}, needed},
        OAuthRow{"MailboxInUseIsNotRenewed", bearerListed, {{stale}},
                 capa + login(bearer, stale, true) + QStringList{"AQ==", "QUIT"}, {false},
                 " [IN-USE] Mailbox locked by another session\r\n", true, SslMode::Tls,
                 "-ERR [IN-USE] Mailbox locked by another session\r\n"},
        OAuthRow{"ServerTroubleIsNotRenewed", "", {{"stale"}},
                 capa + login(xoauth2, "stale", false) + QStringList{"", "QUIT"}, {false},
                 " [SYS/TEMP] Try again later\r\n", true, SslMode::Tls, "-ERR [SYS/TEMP] Try again later\r\n"},
        OAuthRow{"RevokedRefreshToken", bearerListed, {{std::nullopt, true}}, {}, {false}, needed},
        OAuthRow{"TokenEndpointFails", bearerListed, {{std::nullopt, false}}, {}, {false},
                 "アクセストークンを取得できません (Home): HTTP 503"},
        OAuthRow{"TokenBreakingTheLine", bearerListed, {{"good\r\nDELE 1"}}, {}, {false},
                 "アクセストークンを取得できません (Home): 使えない文字が含まれています"},
        OAuthRow{"NoTokenSource", bearerListed, {}, {}, {}, "OAuth 2.0 のサインインを使えません (Home)", false},
        OAuthRow{"PlainConnectionGetsNoToken", bearerListed, {{good}}, {}, {},
                 "OAuth 2.0 には暗号化(SSL/TLS か STARTTLS)が必要です (Home)", true, SslMode::None}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace lum::test
