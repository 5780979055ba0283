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
                    StatCase{"count_beyond_16_bits", "+OK 40000 10\r\n", false, 0},
                    StatCase{"size_beyond_32_bits", "+OK 3 2147483648\r\n", false, 0},
                    StatCase{"negative_count", "+OK -1 5\r\n", false, 0},
                    StatCase{"hex", "+OK 0x3 5\r\n", false, 0}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(CheckSession, TotalSaturatesInsteadOfOverflowing)
{
    Rig rig({{QStringLiteral("A"), QStringLiteral("h1")}, {QStringLiteral("B"), QStringLiteral("h2")}});
    for (int a : {1, 2}) {
        rig.box(a).override = [](const QByteArray &cmd) -> QByteArray {
            if (cmd == "STAT")
                return "+OK 20000 100000\r\n";
            if (cmd.startsWith("TOP"))
                return "+OK\r\n.\r\n";
            return {};
        };
    }
    rig.engine->checkmail();
    rig.settle();
    EXPECT_EQ(rig.engine->total(), 32767);
    EXPECT_EQ(rig.engine->caption(), QStringLiteral("32767通のメールが届いています!"));
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
