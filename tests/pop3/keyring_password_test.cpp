// Accounts whose password lives in the keyring: the engine asks for it before it opens the
// connection, logs in with what arrives, and skips the account with its reason otherwise.
#include "support/rig.h"

#include <gtest/gtest.h>

namespace lum::test {
namespace {

struct FakePasswords : PasswordSource {
    QList<std::pair<quint64, QString>> requests;
    void requestPassword(quint64 request, const QString &key) override { requests.append({request, key}); }
};

struct KeyringRow {
    const char *name;
    std::optional<QString> answer;
    QStringList homeCommands; // of account 1, the keyring account
    QString message;
};

void PrintTo(const KeyringRow &r, std::ostream *os) { *os << r.name; }

class KeyringAccount : public testing::TestWithParam<KeyringRow> {};

TEST_P(KeyringAccount, AsksBeforeConnectingAndTheOthersAreChecked)
{
    Rig rig({{QStringLiteral("Home"), QStringLiteral("h1"), 995, QStringLiteral("taro"), QString()},
             {QStringLiteral("Work"), QStringLiteral("h2")}},
            {{"Option3value", QStringLiteral("0")}});
    rig.temp.store().writeSetting(QStringLiteral("Pwstore1"), QStringLiteral("1"));
    rig.box(1).user = "taro";
    rig.box(1).pass = "";
    FakePasswords passwords;
    rig.engine->setPasswordSource(&passwords);
    rig.engine->checkmail();
    rig.settle();
    ASSERT_EQ(passwords.requests.size(), 1);
    EXPECT_EQ(passwords.requests[0].second, QStringLiteral("taro@h1:995"));
    EXPECT_TRUE(rig.server->conns.isEmpty()) << "nothing opens before the password is there";
    rig.engine->passwordArrived(passwords.requests[0].first, GetParam().answer, QStringLiteral("項目がありません"));
    rig.settle();
    const bool loggedIn = !GetParam().homeCommands.isEmpty();
    EXPECT_EQ(rig.server->commands(0), loggedIn ? GetParam().homeCommands : (QStringList{"USER user", "PASS pass", "STAT", "QUIT"}));
    EXPECT_EQ(rig.server->conns.size(), loggedIn ? 2 : 1);
    EXPECT_EQ(rig.view.messages, GetParam().message.isEmpty() ? QStringList() : QStringList{GetParam().message});
    EXPECT_EQ(rig.view.checkEnds.size(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, KeyringAccount,
    testing::Values(
        KeyringRow{"EmptyPasswordIsStillAPassword", QString(""), {"USER taro", "PASS ", "STAT", "QUIT"}, {}},
        KeyringRow{"WrongOneIsTriedAsAnyOther", QStringLiteral("old"), {"USER taro", "PASS old", "QUIT"},
                   QStringLiteral(" [AUTH] Authentication failed.\r\n")},
        KeyringRow{"Missing", std::nullopt, {}, QStringLiteral("キーリングからパスワードを読めません (Home): 項目がありません")},
        KeyringRow{"LineBreak", QStringLiteral("a\r\nDELE 1"), {}, QStringLiteral("ﾕｰｻﾞｰ名かﾊﾟｽﾜｰﾄﾞに改行などの使えない文字が含まれています")}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(KeyringAccount, WithoutASourceTheAccountIsSkipped)
{
    Rig rig({{QStringLiteral("Home"), QStringLiteral("h1")}}, {{"Option3value", QStringLiteral("0")}});
    rig.temp.store().writeSetting(QStringLiteral("Pwstore1"), QStringLiteral("1"));
    rig.engine->checkmail();
    rig.settle();
    EXPECT_TRUE(rig.server->conns.isEmpty());
    EXPECT_EQ(rig.view.messages, QStringList{QStringLiteral("キーリングからパスワードを読めません (Home): キーリングを使えません")});
}

TEST(KeyringAccount, AnswerToACycleStartedAnewIsDropped)
{
    Rig rig({{QStringLiteral("Home"), QStringLiteral("h1")}});
    rig.temp.store().writeSetting(QStringLiteral("Pwstore1"), QStringLiteral("1"));
    FakePasswords passwords;
    rig.engine->setPasswordSource(&passwords);
    rig.engine->checkmail();
    rig.engine->checkmail();
    ASSERT_EQ(passwords.requests.size(), 2);
    rig.engine->passwordArrived(passwords.requests[0].first, QStringLiteral("old"), {});
    rig.settle();
    EXPECT_TRUE(rig.server->conns.isEmpty());
    rig.engine->passwordArrived(passwords.requests[1].first, QStringLiteral("pass"), {});
    rig.settle();
    EXPECT_EQ(rig.server->commands(0), (QStringList{"USER user", "PASS pass", "STAT", "QUIT"}));
}

TEST(KeyringAccount, UnreadableStoreChoiceIsNoPassword)
{
    Rig rig({{QStringLiteral("Home"), QStringLiteral("h1")}}, {{"Option3value", QStringLiteral("0")}});
    rig.temp.store().writeSetting(QStringLiteral("Pwstore1"), QStringLiteral("keyring"));
    rig.engine->checkmail();
    rig.settle();
    EXPECT_TRUE(rig.server->conns.isEmpty());
    EXPECT_EQ(rig.view.messages, QStringList{QStringLiteral("ﾊﾟｽﾜｰﾄﾞの保存先の設定が正しくありません:keyring")});
}

} // namespace
} // namespace lum::test
