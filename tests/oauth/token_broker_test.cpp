#include "oauth/token_broker.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkReply>
#include <QProcess>
#include <QTimer>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include <optional>

namespace lum {
namespace {

// Items in memory; every answer comes later on the event loop, as the Secret Service's do.
struct MemoryKeyring : Keyring {
    QHash<QString, QString> items;
    static void later(const Done &done, const KeyringAnswer &a) { QTimer::singleShot(0, [done, a] { done(a); }); }
    QString unavailableReason() const override { return {}; }
    void read(const QString &key, Done done) override
    {
        later(done, {items.contains(key), items.value(key), {}, !items.contains(key)});
    }
    void write(const QString &key, const QString &password, Done done) override
    {
        items.insert(key, password), later(done, {true, {}, {}, false});
    }
    void remove(const QString &key, Done done) override { items.remove(key), later(done, {true, {}, {}, false}); }
};

struct BrokerCase {
    const char *name;
    const char *stored;    // "live": a refresh token the provider takes, "dead": one it doesn't, "": none
    const char *tokenMode; // of the test provider
    int second;            // a second request: -1 none, 0 after the first, 1 with renew, 2 at once
    bool ok;
    bool signInNeeded;
    const char *reason;
    int grants; // tokens the provider gave
};

void PrintTo(const BrokerCase &c, std::ostream *os) { *os << c.name; }

class TokenBrokerTable : public testing::TestWithParam<BrokerCase> {
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "oauth_tests";
        static char *argv[] = {name, nullptr};
        if (!QCoreApplication::instance())
            new QCoreApplication(argc, argv);
        server = new QProcess;
        server->start(QStringLiteral("python3"), {QStringLiteral(OAUTH_SERVER_PY)});
        ASSERT_TRUE(server->waitForReadyRead(10000));
        base = QStringLiteral("http://127.0.0.1:") + QString::fromLatin1(server->readLine().trimmed());
    }
    static void TearDownTestSuite()
    {
        server->closeWriteChannel(); // the provider ends with its standard input
        server->waitForFinished(10000);
        delete server;
    }
    QJsonObject control(const QString &path)
    {
        QNetworkReply *reply = path.startsWith(QLatin1String("/control/counts"))
            ? network.get(QNetworkRequest(QUrl(base + path)))
            : network.post(QNetworkRequest(QUrl(base + path)), QByteArray());
        EXPECT_TRUE(QTest::qWaitFor([reply] { return reply->isFinished(); }, 10000));
        reply->deleteLater();
        return QJsonDocument::fromJson(reply->readAll()).object();
    }

    static inline QProcess *server = nullptr;
    static inline QString base;
    QNetworkAccessManager network;
};

TEST_P(TokenBrokerTable, Answers)
{
    const BrokerCase &c = GetParam();
    control(QStringLiteral("/control/mode?token=") + QLatin1String(c.tokenMode));
    const int grantsBefore = control(QStringLiteral("/control/counts"))[QLatin1String("token_grants")].toInt();
    MemoryKeyring keyring;
    const QString key = QStringLiteral("oauth:taro@127.0.0.1:995");
    if (QByteArray(c.stored) == "live")
        keyring.items[key] = control(QStringLiteral("/control/grant"))[QLatin1String("refresh_token")].toString();
    else if (QByteArray(c.stored) == "dead")
        keyring.items[key] = QStringLiteral("revoked-long-ago");
    const OAuthClient client{{}, base + QStringLiteral("/token"), QStringLiteral("pop"), QStringLiteral("lumora-test"), {}};
    TokenBroker broker(keyring, network);
    std::optional<TokenAnswer> first, second;
    const auto ask = [&](bool renew, std::optional<TokenAnswer> &into) {
        broker.accessToken(client, key, renew, [&into](const TokenAnswer &a) { into = a; });
        EXPECT_FALSE(into) << "answered during the call";
    };
    ask(false, first);
    if (c.second == 2)
        ask(false, second);
    ASSERT_TRUE(QTest::qWaitFor([&] { return first && (c.second != 2 || second); }, 20000));
    if (c.second == 0 || c.second == 1) {
        ask(c.second == 1, second);
        ASSERT_TRUE(QTest::qWaitFor([&] { return second.has_value(); }, 20000));
        EXPECT_EQ(second->token == first->token, c.second == 0);
    }
    const TokenAnswer &last = second ? *second : *first;
    EXPECT_EQ(last.ok, c.ok);
    EXPECT_EQ(last.ok, !last.token.isEmpty());
    EXPECT_EQ(last.signInNeeded, c.signInNeeded);
    EXPECT_EQ(last.reason, QString::fromUtf8(c.reason));
    EXPECT_EQ(control(QStringLiteral("/control/counts"))[QLatin1String("token_grants")].toInt() - grantsBefore, c.grants);
}

INSTANTIATE_TEST_SUITE_P(
    TokenBroker, TokenBrokerTable,
    testing::Values(
        BrokerCase{"kept_until_it_expires", "live", "ok", 0, true, false, "", 1},
        BrokerCase{"renew_fetches_another", "live", "ok", 1, true, false, "", 2},
        BrokerCase{"one_renewal_for_two_requests", "live", "ok", 2, true, false, "", 1},
        BrokerCase{"rotated_refresh_token_is_kept", "live", "rotate", 1, true, false, "", 2},
        BrokerCase{"no_keyring_item", "", "ok", -1, false, true,
                   "サインインしてください (リフレッシュトークンがキーリングにありません)", 0},
        BrokerCase{"refused_refresh_token", "dead", "ok", -1, false, true,
                   "サインインし直してください (許可が無効か期限切れです: invalid_grant)", 0},
        BrokerCase{"garbage_reply", "live", "garbage", -1, false, false,
                   "トークンの応答を読めません: JSON ではありません", 0},
        BrokerCase{"redirect_not_followed", "live", "redirect", -1, false, false,
                   "リダイレクトには従いません: elsewhere.example", 0},
        BrokerCase{"oversized_reply", "live", "huge", -1, false, false,
                   "トークンの応答を読めません: 64 KiB を超えています", 0}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace lum
