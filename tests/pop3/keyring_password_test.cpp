// Keyring passwords: asked for before the connection opens; without one the account is skipped.
#include "support/rig.h"

#include <gtest/gtest.h>

namespace lum::test {
namespace {

struct FakePasswords : PasswordSource {
    QList<quint64> requests;
    QStringList keys;
    void requestPassword(quint64 r, const QString &key) override { requests << r, keys << key; }
};

struct KeyringRow {
    const char *name, *pwstore;
    std::optional<QString> answer; // "-": no source at all
    QStringList homeCommands;      // of account 1; account 2 follows always
    QString message;
};

void PrintTo(const KeyringRow &r, std::ostream *os) { *os << r.name; }

class KeyringAccount : public testing::TestWithParam<KeyringRow> {};

TEST_P(KeyringAccount, AsksBeforeConnectingAndTheOthersAreChecked)
{
    const KeyringRow &row = GetParam();
    Rig rig({{"Home", "h1", 995, "taro", ""}, {"Work", "h2"}}, {{"Option3value", "0"}});
    rig.temp.store().writeSetting("Pwstore1", row.pwstore);
    rig.box(1).user = "taro";
    FakePasswords passwords;
    if (row.answer != "-")
        rig.engine->setPasswordSource(&passwords);
    rig.engine->checkmail();
    rig.settle();
    EXPECT_EQ(rig.server->conns.size(), row.answer == "-" || row.pwstore != QString("1") ? 1 : 0);
    for (quint64 request : passwords.requests) {
        EXPECT_EQ(passwords.keys, QStringList{"password:taro@h1:995"});
        rig.engine->passwordArrived(request, row.answer, "項目がありません");
        rig.settle();
    }
    EXPECT_EQ(rig.server->allCommands(), (row.homeCommands + QStringList{"USER user", "PASS pass", "STAT", "QUIT"}));
    EXPECT_EQ(rig.view.messages, row.message.isEmpty() ? QStringList() : QStringList{row.message});
}

const QString unread = "キーリングからパスワードを読めません (Home): ";

INSTANTIATE_TEST_SUITE_P(
    Rows, KeyringAccount,
    testing::Values(KeyringRow{"Arrives", "1", "pass", {"USER taro", "PASS pass", "STAT", "QUIT"}, {}},
                    KeyringRow{"Missing", "1", std::nullopt, {}, unread + "項目がありません"},
                    KeyringRow{"LineBreak", "1", "pass\r\nDELE 1", {}, "ﾕｰｻﾞｰ名かﾊﾟｽﾜｰﾄﾞに改行などの使えない文字が含まれています"},
                    KeyringRow{"NoSource", "1", "-", {}, unread + "キーリングを使えません"},
                    KeyringRow{"UnreadableChoice", "x", "-", {}, "ﾊﾟｽﾜｰﾄﾞの保存先の設定が正しくありません:x"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(KeyringAccount, AnswerToACycleStartedAnewIsDropped)
{
    Rig rig({TestAccount{"Home", "h1"}});
    rig.temp.store().writeSetting("Pwstore1", "1");
    FakePasswords passwords;
    rig.engine->setPasswordSource(&passwords);
    rig.engine->checkmail();
    rig.engine->checkmail();
    rig.engine->passwordArrived(passwords.requests.value(0), "old", {});
    rig.engine->passwordArrived(passwords.requests.value(1), "pass", {});
    rig.settle();
    EXPECT_EQ(rig.server->allCommands(), (QStringList{"USER user", "PASS pass", "STAT", "QUIT"}));
}

} // namespace
} // namespace lum::test
