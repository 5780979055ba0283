// The check session against the in-memory server: command sequences, STAT evaluation,
// TOP collection and what lands in the mail table.
#include "support/rig.h"

#include <gtest/gtest.h>

namespace lum::test {
namespace {

const QStringList login{QStringLiteral("USER user"), QStringLiteral("PASS pass")};

QList<QByteArray> threeMessages()
{
    return {jpMessage(wYamada, wTest, "m1@example.jp"), jpMessage(wYamada, wHello, "m2@example.jp"),
            jpMessage(wBill, wMeeting, "m3@example.jp")};
}

TEST(CheckSession, ChangedMailboxFetchesEveryHeaderInOrder)
{
    Rig rig({{QStringLiteral("Home")}});
    rig.box(1).messages = threeMessages();
    rig.engine->checkmail();
    rig.settle();
    EXPECT_EQ(rig.server->commands(0),
              (login + QStringList{"STAT", "TOP 1 5", "TOP 2 5", "TOP 3 5", "QUIT"}));
    EXPECT_EQ(rig.rec(1, 1).subject, QStringLiteral("テスト"));
    EXPECT_EQ(rig.rec(1, 2).subject, QStringLiteral("こんにちは"));
    EXPECT_EQ(rig.rec(1, 3).subject, QStringLiteral("会議の件"));
    EXPECT_TRUE(rig.rec(1, 1).from.startsWith(QStringLiteral("山田太郎")));
    EXPECT_EQ(rig.engine->total(), 3);
    EXPECT_EQ(rig.engine->previousCount(1), 3);
    EXPECT_TRUE(rig.engine->newMail(1));
    EXPECT_EQ(rig.engine->caption(), QStringLiteral("3通のメールが届いています!"));
    ASSERT_EQ(rig.view.checkEnds.size(), 1);
    EXPECT_TRUE(rig.view.checkEnds[0].newMail);
    EXPECT_TRUE(rig.view.captions.contains(QStringLiteral("Lumora -チェック中:Home-")));
}

TEST(CheckSession, EmptyMailboxSendsNoTop)
{
    Rig rig({{QStringLiteral("Home")}});
    rig.engine->checkmail();
    rig.settle();
    EXPECT_EQ(rig.server->commands(0), (login + QStringList{"STAT", "QUIT"}));
    EXPECT_EQ(rig.engine->total(), 0);
    EXPECT_FALSE(rig.engine->anyNewMail());
    EXPECT_EQ(rig.engine->caption(), QStringLiteral("Lumora"));
}

TEST(CheckSession, UnchangedMailboxWithOnlyNewerSendsNoTopButCounts)
{
    Rig rig({{QStringLiteral("Home")}}, {{"Option6value", QStringLiteral("1")}});
    rig.box(1).messages = threeMessages();
    rig.engine->checkmail();
    rig.settle();
    rig.engine->checkmail();
    rig.settle();
    ASSERT_EQ(rig.server->conns.size(), 2);
    EXPECT_EQ(rig.server->commands(1), (login + QStringList{"STAT", "QUIT"}));
    EXPECT_EQ(rig.engine->total(), 3);
    EXPECT_FALSE(rig.engine->newMail(1));
    EXPECT_EQ(rig.rec(1, 3).subject, QStringLiteral("会議の件")); // rows kept
    EXPECT_EQ(rig.engine->caption(), QStringLiteral("3通のメールが届いています!"));
    EXPECT_EQ(rig.view.pictures.last(), TrayPicture::Normal);
}

TEST(CheckSession, InterruptedCheckIsRepeatedInFull)
{
    Rig rig({{QStringLiteral("Home")}}, {{"Option6value", QStringLiteral("1")}});
    rig.box(1).messages = threeMessages();
    rig.box(1).override = [](const QByteArray &cmd) -> QByteArray {
        return cmd == "TOP 2 5" ? QByteArray("-ERR busy\r\n") : QByteArray();
    };
    rig.engine->checkmail();
    rig.settle();
    // The row filed is listed; the caption counts what the server has.
    EXPECT_EQ(rig.engine->listedCount(1), 1);
    EXPECT_EQ(rig.engine->caption(), QStringLiteral("3通のメールが届いています!"));
    rig.box(1).override = {};
    rig.engine->checkmail();
    rig.settle();
    EXPECT_EQ(rig.server->commands(1), (login + QStringList{"STAT", "TOP 1 5", "TOP 2 5", "TOP 3 5", "QUIT"}));
    EXPECT_EQ(rig.rec(1, 3).subject, QStringLiteral("会議の件"));
    EXPECT_EQ(rig.engine->previousCount(1), 3);
    EXPECT_EQ(rig.engine->listedCount(1), 3);
}

TEST(CheckSession, SameCountOtherSizeCountsAsChanged)
{
    Rig rig({{QStringLiteral("Home")}}, {{"Option6value", QStringLiteral("1")}});
    rig.box(1).messages = threeMessages();
    rig.engine->checkmail();
    rig.settle();
    rig.box(1).messages[0] = jpMessage(wBill, wBill, "other@example.jp", "longer body text\r\n");
    rig.engine->checkmail();
    rig.settle();
    EXPECT_TRUE(rig.server->commands(1).contains(QStringLiteral("TOP 1 5")));
    EXPECT_TRUE(rig.engine->newMail(1));
    EXPECT_EQ(rig.rec(1, 1).subject, QStringLiteral("請求書"));
}

TEST(CheckSession, WithoutOnlyNewerEveryCycleReportsNewMail)
{
    Rig rig({{QStringLiteral("Home")}});
    rig.box(1).messages = threeMessages();
    for (int i = 0; i < 2; ++i) {
        rig.engine->checkmail();
        rig.settle();
        EXPECT_TRUE(rig.engine->newMail(1)) << i;
    }
}

TEST(CheckSession, WrongPasswordShowsServerTextAndQuits)
{
    Rig rig({{QStringLiteral("Home"), QStringLiteral("h1"), 110, QStringLiteral("user"),
              QStringLiteral("wrong")},
             {QStringLiteral("Work"), QStringLiteral("h2")}},
            {{"Option3value", QStringLiteral("0")}});
    rig.box(2).messages = threeMessages();
    rig.engine->checkmail();
    rig.settle();
    EXPECT_EQ(rig.server->commands(0), (QStringList{"USER user", "PASS wrong", "QUIT"}));
    ASSERT_EQ(rig.view.messages.size(), 1);
    EXPECT_EQ(rig.view.messages[0], QStringLiteral(" [AUTH] Authentication failed.\r\n"));
    EXPECT_EQ(rig.engine->previousCount(1), 0);
    EXPECT_EQ(rig.engine->total(), 3); // the next account still ran
}

TEST(CheckSession, SuppressedErrorsAreNotShownButSessionBehavesTheSame)
{
    Rig rig({{QStringLiteral("Home"), QStringLiteral("h1"), 110, QStringLiteral("user"),
              QStringLiteral("wrong")}});
    rig.engine->checkmail();
    rig.settle();
    EXPECT_TRUE(rig.view.messages.isEmpty());
    EXPECT_EQ(rig.server->commands(0).last(), QStringLiteral("QUIT"));
    EXPECT_EQ(rig.view.checkEnds.size(), 1);
}

TEST(CheckSession, ReportAllErrorsOverridesSuppression)
{
    Rig rig({{QStringLiteral("Home"), QStringLiteral("h1"), 110, QStringLiteral("user"),
              QStringLiteral("wrong")}});
    rig.engine->setReportAllErrors(true);
    rig.engine->checkmail();
    rig.settle();
    EXPECT_EQ(rig.view.messages, QStringList{QStringLiteral(" [AUTH] Authentication failed.\r\n")});
}

TEST(CheckSession, NegativeGreetingEndsSession)
{
    Rig rig({{QStringLiteral("Home")}}, {{"Option3value", QStringLiteral("0")}});
    rig.box(1).greeting = "-ERR busy, try later\r\n";
    rig.engine->checkmail();
    rig.settle();
    EXPECT_EQ(rig.server->commands(0), QStringList{"QUIT"});
    EXPECT_EQ(rig.view.messages, QStringList{QStringLiteral(" busy, try later\r\n")});
}

struct TextCase {
    const char *name;
    QByteArray command;
    QByteArray reply;
    const char *message;
};

class ServerText : public testing::TestWithParam<TextCase> {};

TEST_P(ServerText, IsShownReadably)
{
    const TextCase &c = GetParam();
    Rig rig({{QStringLiteral("Home")}}, {{"Option3value", QStringLiteral("0")}});
    rig.box(1).override = [&](const QByteArray &cmd) { return cmd == c.command ? c.reply : QByteArray(); };
    rig.engine->checkmail();
    rig.settle();
    EXPECT_EQ(rig.view.messages, QStringList{QString::fromUtf8(c.message)});
}

INSTANTIATE_TEST_SUITE_P(
    CheckSession, ServerText,
    testing::Values(TextCase{"bare_err", "PASS pass", "-ERR\r\n", "ｻｰﾊﾞｰに拒否されました"},
                    TextCase{"stat_text_in_code_page_932", "STAT", "+OK \x8c\x8f\x90\x94 ?\r\n",
                             "ｻｰﾊﾞｰのSTAT応答が正しくありません:+OK 件数 ?"}),
    [](const auto &info) { return std::string(info.param.name); });

struct StatCase {
    const char *name;
    QByteArray reply;
    bool accepted;
    int count;
};

class StatReply : public testing::TestWithParam<StatCase> {};

TEST_P(StatReply, IsCheckedBeforeUse)
{
    const StatCase &c = GetParam();
    Rig rig({{QStringLiteral("Home")}}, {{"Option3value", QStringLiteral("0")}});
    rig.box(1).override = [&](const QByteArray &cmd) -> QByteArray {
        if (cmd == "STAT")
            return c.reply;
        if (cmd.startsWith("TOP"))
            return "+OK\r\nSubject: x\r\n\r\n.\r\n";
        return {};
    };
    rig.engine->checkmail();
    rig.settle();
    if (c.accepted) {
        EXPECT_TRUE(rig.view.messages.isEmpty());
        EXPECT_EQ(rig.engine->total(), c.count);
        EXPECT_EQ(rig.engine->previousCount(1), c.count);
    } else {
        ASSERT_EQ(rig.view.messages.size(), 1);
        EXPECT_TRUE(rig.view.messages[0].contains(QStringLiteral("STAT")));
        EXPECT_EQ(rig.server->commands(0).last(), QStringLiteral("QUIT"));
        EXPECT_FALSE(rig.server->commands(0).contains(QStringLiteral("TOP 1 5")));
        EXPECT_EQ(rig.engine->total(), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    CheckSession, StatReply,
    testing::Values(StatCase{"plain", "+OK 2 300\r\n", true, 2},
                    StatCase{"extra_text_after_size", "+OK 2 300 messages\r\n", true, 2},
                    StatCase{"zero", "+OK 0 0\r\n", true, 0},
                    StatCase{"max_count", "+OK 32767 2147483647\r\n", true, 32767},
                    StatCase{"letters", "+OK x 5\r\n", false, 0},
                    StatCase{"size_missing", "+OK 3\r\n", false, 0},
                    StatCase{"nothing", "+OK\r\n", false, 0},
                    StatCase{"count_beyond_16_bits", "+OK 40000 10\r\n", true, 40000},
                    StatCase{"size_over_2_gib", "+OK 2 3000000000\r\n", true, 2},
                    StatCase{"count_beyond_32_bits", "+OK 2147483648 10\r\n", false, 0},
                    StatCase{"size_beyond_64_bits", "+OK 3 9223372036854775808\r\n", false, 0},
                    StatCase{"negative_count", "+OK -1 5\r\n", false, 0},
                    StatCase{"hex", "+OK 0x3 5\r\n", false, 0}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(CheckSession, MailTableGrowsOnlyForTheAccountWithTheMessages)
{
    Rig rig({{QStringLiteral("A"), QStringLiteral("h1")}, {QStringLiteral("B"), QStringLiteral("h2")}});
    for (int n = 1; n <= 12; ++n)
        rig.box(1).messages.append(jpMessage(wYamada, wTest, "m" + QByteArray::number(n) + "@x"));
    rig.engine->checkmail();
    rig.settle();
    EXPECT_NE(rig.table.record(1, 12), nullptr);
    EXPECT_EQ(rig.table.record(2, 11), nullptr);
}

TEST(CheckSession, TotalSaturatesInsteadOfOverflowing)
{
    Rig rig({{QStringLiteral("A"), QStringLiteral("h1")}, {QStringLiteral("B"), QStringLiteral("h2")}});
    for (int a : {1, 2}) {
        rig.box(a).override = [](const QByteArray &cmd) -> QByteArray {
            if (cmd == "STAT")
                return "+OK 2000000000 100000\r\n";
            if (cmd == "TOP 3 5")
                return "-ERR enough\r\n";
            if (cmd.startsWith("TOP"))
                return "+OK\r\n.\r\n";
            return {};
        };
    }
    rig.engine->checkmail();
    rig.settle();
    EXPECT_EQ(rig.engine->total(), 2147483647);
    EXPECT_EQ(rig.engine->caption(), QStringLiteral("2147483647通のメールが届いています!"));
}

TEST(CheckSession, RepliesDrippedByteByByteWork)
{
    Rig rig({{QStringLiteral("Home")}});
    rig.box(1).messages = threeMessages();
    rig.box(1).chunk = 1;
    rig.engine->checkmail();
    rig.settle();
    EXPECT_EQ(rig.server->commands(0).size(), 7);
    EXPECT_EQ(rig.rec(1, 3).subject, QStringLiteral("会議の件"));
}

TEST(CheckSession, LogMasksPassAndKeepsTopReplies)
{
    Rig rig({{QStringLiteral("Home"), QStringLiteral("h1"), 110, QStringLiteral("myPASSname"),
              QStringLiteral("secret")}},
            {{"Option8value", QStringLiteral("1")}});
    rig.box(1).user = "myPASSname";
    rig.box(1).pass = "secret";
    rig.box(1).messages = {jpMessage(wYamada, wTest, "m1@x", ".hidden\r\n")};
    rig.engine->checkmail();
    rig.settle();
    const QByteArray log = rig.engine->log();
    EXPECT_FALSE(log.contains("secret"));
    EXPECT_FALSE(log.contains("myPASSname"));
    EXPECT_TRUE(log.startsWith("PASS ******************************\r\n"
                               "PASS ******************************\r\nSTAT\r\n\r\nTOP 1 5\r\n\r\n+OK "));
    EXPECT_TRUE(log.contains("\r\n.hidden\r\n.\r\n\r\n\r\nQUIT\r\n\r\n")) << log.constData();
}

TEST(CheckSession, LowerCasePassIsNotMasked)
{
    Rig rig({{QStringLiteral("Home"), QStringLiteral("h1"), 110, QStringLiteral("passuser")}},
            {{"Option8value", QStringLiteral("1")}});
    rig.box(1).user = "passuser";
    rig.engine->checkmail();
    rig.settle();
    EXPECT_TRUE(rig.engine->log().startsWith("USER passuser\r\n\r\nPASS ****"));
}

TEST(CheckSession, LogStaysEmptyWithoutOption)
{
    Rig rig({{QStringLiteral("Home")}});
    rig.box(1).messages = threeMessages();
    rig.engine->checkmail();
    rig.settle();
    EXPECT_TRUE(rig.engine->log().isEmpty());
}

TEST(CheckSession, NulBytesBecomeLineBreaks)
{
    Rig rig({{QStringLiteral("Home")}});
    rig.box(1).messages = {QByteArray("Subject: abc\0def\r\nFrom: x\r\n\r\nbody\r\n", 36)};
    rig.engine->checkmail();
    rig.settle();
    EXPECT_EQ(rig.rec(1, 1).subject, QStringLiteral("abc"));
    EXPECT_EQ(rig.server->commands(0).last(), QStringLiteral("QUIT"));
}

TEST(CheckSession, JapanesePasswordIsSentInCodePage932)
{
    Rig rig({{QStringLiteral("Home"), QStringLiteral("h1"), 110, QStringLiteral("user"),
              QStringLiteral("秘密")}});
    rig.box(1).pass = "\x94\xe9\x96\xa7";
    rig.engine->checkmail();
    rig.settle();
    EXPECT_TRUE(rig.server->rawSent.contains(QByteArray("PASS \x94\xe9\x96\xa7\r\n")));
    EXPECT_EQ(rig.server->commands(0).last(), QStringLiteral("QUIT"));
}

} // namespace
} // namespace lum::test
