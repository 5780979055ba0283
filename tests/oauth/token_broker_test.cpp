#include "oauth/token_broker.h"
#include "settings/account_record.h"
#include "tests/oauth/test_provider.h"

#include <QTimer>
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
    // "live": a refresh token the provider takes, "dead": one it doesn't, "elsewhere": a live one
    // of another endpoint, "former": a live one under the item's former name, "": none
    const char *stored;
    const char *tokenMode; // of the test provider
    int second;            // a second request: -1 none, 0 after the first, 1 with renew, 2 at once
    bool ok;
    bool signInNeeded;
    const char *reason;
    int grants; // tokens the provider gave
};

void PrintTo(const BrokerCase &c, std::ostream *os) { *os << c.name; }

class TokenBrokerTable : public TestProvider, public testing::WithParamInterface<BrokerCase> {
protected:
    QString grant() { return control(QStringLiteral("/control/grant"))[QLatin1String("refresh_token")].toString(); }

    MemoryKeyring keyring;
    const QString key = QStringLiteral("oauth:taro%40example.jp@127.0.0.1:995");
};

TEST_P(TokenBrokerTable, Answers)
{
    const BrokerCase &c = GetParam();
    control(QStringLiteral("/control/mode?token=") + QLatin1String(c.tokenMode));
    const int grantsBefore = control(QStringLiteral("/control/counts"))[QLatin1String("token_grants")].toInt();
    if (QByteArray(c.stored) == "former")
        keyring.items[formerKeyringKey(key)] = grant();
    if (QByteArray(c.stored) == "live")
        keyring.items[key] = grant();
    else if (QByteArray(c.stored) == "dead")
        keyring.items[key] = QStringLiteral("revoked-long-ago");
    else if (QByteArray(c.stored) == "elsewhere")
        keyring.items[key] = keyringValue({grant(), QStringLiteral("https://elsewhere.example/token"), client.clientId});
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
    if (last.ok) { // a bare token of an older version, or a rotated one, is kept with its endpoint
        EXPECT_EQ(storedToken(keyring.items[key]).tokenUrl, client.tokenUrl);
        EXPECT_FALSE(keyring.items.contains(formerKeyringKey(key)));
    }
}

// lumwatchd and lumcheck renew one account at once at a provider that takes each refresh
// token once: the second renews with the token the first stored.
TEST_F(TokenBrokerTable, TwoProgramsRenewInTurn)
{
    control(QStringLiteral("/control/mode?token=rotate"));
    keyring.items[key] = grant();
    TokenBroker one(keyring, network), other(keyring, network), later(keyring, network);
    std::optional<TokenAnswer> answers[3];
    for (int i : {0, 1}) // at once; then, after both, a third renews with the token they left
        (i ? other : one).accessToken(client, key, true, [&answers, i](const TokenAnswer &a) { answers[i] = a; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return answers[0] && answers[1]; }, 20000));
    later.accessToken(client, key, true, [&answers](const TokenAnswer &a) { answers[2] = a; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return answers[2].has_value(); }, 20000));
    for (const auto &a : answers)
        EXPECT_TRUE(a->ok) << qPrintable(a->reason);
}

INSTANTIATE_TEST_SUITE_P(
    TokenBroker, TokenBrokerTable,
    testing::Values(
        BrokerCase{"kept_until_it_expires", "live", "ok", 0, true, false, "", 1},
        BrokerCase{"renew_fetches_another", "live", "ok", 1, true, false, "", 2},
        BrokerCase{"one_renewal_for_two_requests", "live", "ok", 2, true, false, "", 1},
        BrokerCase{"former_item_name_moves", "former", "ok", -1, true, false, "", 1},
        BrokerCase{"rotated_refresh_token_is_kept", "live", "rotate", 1, true, false, "", 2},
        BrokerCase{"other_endpoint_gets_no_request", "elsewhere", "ok", -1, false, true,
                   "サインインし直してください (リフレッシュトークンは別のトークン URL かクライアント ID に発行されたものです)", 0},
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
