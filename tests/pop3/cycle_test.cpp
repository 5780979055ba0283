// The check cycle over the accounts, its timers and the session time-out, on the fake clock.
#include "support/rig.h"

#include <gtest/gtest.h>

namespace lum::test {
namespace {

QList<TestAccount> threeAccounts(int secondCheck = 1)
{
    return {{QStringLiteral("A"), QStringLiteral("h1")},
            {QStringLiteral("B"), QStringLiteral("h2"), 110, QStringLiteral("user"), QStringLiteral("pass"), secondCheck},
            {QStringLiteral("C"), QStringLiteral("h3")}};
}

QStringList hosts(const FakeServer &s)
{
    QStringList h;
    for (const auto &c : s.conns)
        h.append(c.host);
    return h;
}

TEST(CheckCycle, SkipsAccountsWithoutCheckFlag)
{
    Rig rig(threeAccounts(0));
    rig.engine->checkmail();
    rig.settle();
    EXPECT_EQ(hosts(*rig.server), (QStringList{"h1:110", "h3:110"}));
    EXPECT_TRUE(rig.view.captions.contains(QStringLiteral("Lumora -チェック中:B-")));
    EXPECT_EQ(rig.view.checkEnds.size(), 1);
}

// One account's check (its server pushed news): the others keep their rows and count.
TEST(CheckCycle, OneAccountsCheckVisitsItAlone)
{
    Rig rig(threeAccounts());
    rig.box(1).messages = {jpMessage(wYamada, wTest, "m@x")};
    rig.engine->checkmail();
    rig.settle();
    rig.box(2).messages = {jpMessage(wBill, wMeeting, "n@x")};
    rig.engine->checkAccountWhenFree(2);
    rig.server->pump();
    rig.timers.advance(999); // no pause after the one account: the news shows at once
    EXPECT_EQ(hosts(*rig.server), (QStringList{"h1:110", "h2:110", "h3:110", "h2:110"}));
    ASSERT_EQ(rig.view.checkEnds.size(), 2);
    EXPECT_EQ(rig.view.checkEnds[1].total, 2);
    EXPECT_TRUE(rig.view.checkEnds[1].newMail);
}

TEST(CheckCycle, NextAccountStartsOneSecondAfterSessionEnds)
{
    Rig rig(threeAccounts());
    rig.engine->checkmail();
    rig.server->pump();
    ASSERT_EQ(rig.server->conns.size(), 1);
    EXPECT_TRUE(rig.timers.active(TimerId::Logon));
    EXPECT_EQ(rig.timers.interval(TimerId::Logon), 1000);
    rig.timers.advance(999);
    EXPECT_EQ(rig.server->conns.size(), 1);
    rig.timers.advance(1);
    EXPECT_EQ(rig.server->conns.size(), 2);
    EXPECT_FALSE(rig.timers.active(TimerId::Logon));
}

TEST(CheckCycle, LastAccountAlsoPausesInTheChecker)
{
    Rig rig({{QStringLiteral("A")}});
    rig.engine->checkmail();
    rig.server->pump();
    EXPECT_TRUE(rig.view.checkEnds.isEmpty());
    rig.timers.advance(1000);
    EXPECT_EQ(rig.view.checkEnds.size(), 1);
}

TEST(CheckCycle, OneShotRunEndsWithoutFinalPause)
{
    Rig rig(threeAccounts());
    rig.engine->setPauseBeforeCycleEnd(false);
    rig.engine->checkmail();
    rig.server->pump();
    EXPECT_EQ(rig.timers.interval(TimerId::Logon), 1000); // between accounts
    rig.timers.advance(1000);
    rig.server->pump();
    rig.timers.advance(1000);
    rig.server->pump();
    EXPECT_EQ(rig.server->conns.size(), 3);
    EXPECT_EQ(rig.timers.interval(TimerId::Logon), 0);
    rig.timers.advance(0);
    EXPECT_EQ(rig.view.checkEnds.size(), 1);
}

TEST(CheckCycle, NoAccountsEndsAtOnce)
{
    Rig rig({});
    rig.engine->checkmail();
    EXPECT_EQ(rig.view.checkEnds.size(), 1);
    EXPECT_EQ(rig.engine->caption(), QStringLiteral("Lumora"));
    EXPECT_TRUE(rig.server->conns.isEmpty());
}

struct MinuteCase {
    const char *name;
    int checkTimerval;
    int minutes;
    int cycles;
};

class CheckTimer : public testing::TestWithParam<MinuteCase> {};

TEST_P(CheckTimer, StartsCyclesEveryNMinutes)
{
    const MinuteCase &c = GetParam();
    Rig rig({{QStringLiteral("A")}}, {{"Checktimerval", QString::number(c.checkTimerval)}});
    rig.engine->startCheckTimer();
    int cycles = 0;
    for (int m = 0; m < c.minutes; ++m) {
        rig.timers.advance(60000);
        rig.settle();
        cycles = int(rig.view.events.count(QStringLiteral("cycle")));
    }
    EXPECT_EQ(cycles, c.cycles);
}

INSTANTIATE_TEST_SUITE_P(CheckCycle, CheckTimer,
                         testing::Values(MinuteCase{"every_minute", 1, 3, 3},
                                         MinuteCase{"every_third_minute", 3, 2, 0},
                                         MinuteCase{"third_minute_reached", 3, 3, 1},
                                         MinuteCase{"third_minute_twice", 3, 7, 2},
                                         MinuteCase{"zero_never", 0, 5, 0}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(CheckCycle, PeriodicCycleClearsSuppressFlag)
{
    Rig rig({{QStringLiteral("A")}}, {{"Checktimerval", QStringLiteral("1")}, {"Option6value", QStringLiteral("1")}});
    rig.box(1).messages = {jpMessage(wYamada, wTest, "m1@x")};
    rig.engine->deleteMarked(); // nothing marked: ends at once with a suppressed check
    rig.settle();
    EXPECT_TRUE(rig.engine->suppress());
    EXPECT_FALSE(rig.engine->newMail(1));
    rig.box(1).messages.append(jpMessage(wYamada, wHello, "m2@x"));
    rig.timers.advance(60000);
    rig.settle();
    EXPECT_FALSE(rig.engine->suppress());
    EXPECT_TRUE(rig.engine->newMail(1));
}

struct TimeoutCase {
    const char *name;
    int timeupval;
    qint64 silentMs;
    bool givenUp;
};

class SessionTimeout : public testing::TestWithParam<TimeoutCase> {};

TEST_P(SessionTimeout, GivesUpAfterTimeupvalSilentMinutes)
{
    const TimeoutCase &c = GetParam();
    Rig rig({{QStringLiteral("A"), QStringLiteral("h1")}, {QStringLiteral("B"), QStringLiteral("h2")}},
            {{"Timeupval", QString::number(c.timeupval)}, {"Option3value", QStringLiteral("0")}});
    rig.box(1).mode = Mailbox::Mode::Silent;
    rig.engine->checkmail();
    rig.server->pump();
    rig.timers.advance(c.silentMs);
    rig.server->pump();
    EXPECT_EQ(rig.server->commands(0).contains(QStringLiteral("QUIT")), c.givenUp);
    EXPECT_EQ(rig.view.messages, c.givenUp ? QStringList{QStringLiteral("ｻｰﾊﾞｰから時間内に応答がありませんでした")}
                                           : QStringList());
    EXPECT_EQ(rig.timers.active(TimerId::Logon), c.givenUp);
    rig.timers.advance(1000);
    rig.server->pump();
    EXPECT_EQ(rig.server->conns.size(), c.givenUp ? 2 : 1);
}

INSTANTIATE_TEST_SUITE_P(CheckCycle, SessionTimeout,
                         testing::Values(TimeoutCase{"one_minute_not_yet", 1, 59999, false},
                                         TimeoutCase{"one_minute", 1, 60000, true},
                                         TimeoutCase{"two_minutes_not_after_one", 2, 60000, false},
                                         TimeoutCase{"two_minutes", 2, 120000, true},
                                         TimeoutCase{"zero_never", 0, 600000, false}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(CheckCycle, EventsRestartTheMinuteButNotTheCount)
{
    Rig rig({{QStringLiteral("A")}}, {{"Timeupval", QStringLiteral("2")}});
    rig.box(1).mode = Mailbox::Mode::Greeting; // greets, then never answers
    rig.engine->checkmail();
    rig.timers.advance(50000);
    rig.server->pump(); // connected and greeting at 50 s restart the minute
    rig.timers.advance(59999);
    EXPECT_FALSE(rig.server->commands(0).contains(QStringLiteral("QUIT")));
    rig.timers.advance(1); // count 1 -> 2
    EXPECT_FALSE(rig.server->commands(0).contains(QStringLiteral("QUIT")));
    rig.timers.advance(60000); // count reached
    EXPECT_EQ(rig.server->commands(0), (QStringList{"USER user", "QUIT"}));
}

TEST(CheckCycle, NoiseWithoutAGreetingDoesNotHoldTheSession)
{
    Rig rig({{QStringLiteral("A"), QStringLiteral("h1")}, {QStringLiteral("B"), QStringLiteral("h2")}});
    rig.box(1).mode = Mailbox::Mode::Silent;
    rig.engine->checkmail();
    rig.server->pump();
    const ConnId first = rig.server->lastId();
    for (int second = 1; second <= 61; ++second) {
        rig.timers.advance(1000);
        rig.server->injectBytes(first, "* still here\r\n");
        rig.server->pump();
    }
    EXPECT_EQ(rig.server->commands(0), QStringList{"QUIT"});
    EXPECT_EQ(hosts(*rig.server), (QStringList{"h1:110", "h2:110"}));
}

TEST(CheckCycle, TimeoutIsStoppedBeforeAnErrorIsShown)
{
    Rig rig({{QStringLiteral("A"), QStringLiteral("h1")}, {QStringLiteral("B"), QStringLiteral("h2")}},
            {{"Option3value", QStringLiteral("0")}});
    rig.box(1).greeting = "-ERR busy\r\n";
    QList<bool> timeoutRunning;
    rig.view.onShowMsg = [&](const QString &) { timeoutRunning.append(rig.timers.active(TimerId::Timeup)); };
    rig.engine->checkmail();
    rig.settle();
    EXPECT_EQ(timeoutRunning, QList<bool>{false});
    EXPECT_EQ(hosts(*rig.server), (QStringList{"h1:110", "h2:110"}));
}

TEST(CheckCycle, TimeoutAfterQuitSendsNoSecondQuit)
{
    Rig rig({{QStringLiteral("A")}});
    rig.box(1).override = [](const QByteArray &cmd) -> QByteArray {
        return cmd == "QUIT" ? QByteArray("* thinking\r\n") : QByteArray();
    };
    rig.engine->checkmail();
    rig.server->pump();
    rig.timers.advance(60000);
    rig.server->pump();
    EXPECT_EQ(rig.server->commands(0).count(QStringLiteral("QUIT")), 1);
    EXPECT_TRUE(rig.timers.active(TimerId::Logon));
}

TEST(CheckCycle, LateEventsOfTimedOutConnectionAreIgnored)
{
    Rig rig({{QStringLiteral("A"), QStringLiteral("h1")}, {QStringLiteral("B"), QStringLiteral("h2")}},
            {{"Option3value", QStringLiteral("0")}});
    rig.box(1).mode = Mailbox::Mode::Silent;
    rig.engine->checkmail();
    rig.server->pump();
    const ConnId first = rig.server->lastId();
    rig.timers.advance(60000);
    EXPECT_TRUE(rig.server->conns[0].closedByClient);
    rig.timers.advance(1000); // account B connects, greeting queued
    rig.server->injectBytes(first, "+OK late greeting\r\n");
    rig.server->injectFailure(first, 10054);
    rig.server->injectClose(first);
    rig.settle();
    EXPECT_EQ(rig.server->commands(0), QStringList{"QUIT"});
    EXPECT_EQ(rig.server->commands(1), (QStringList{"USER user", "PASS pass", "STAT", "QUIT"}));
    EXPECT_EQ(rig.view.messages, QStringList{QStringLiteral("ｻｰﾊﾞｰから時間内に応答がありませんでした")});
    EXPECT_EQ(rig.view.checkEnds.size(), 1);
}

TEST(CheckCycle, CheckDuringRunningCycleQuitsAndRestartsFromFirstAccount)
{
    Rig rig(threeAccounts());
    rig.engine->checkmail();
    rig.server->pump();
    rig.timers.advance(1000); // account B's session opens
    ASSERT_EQ(rig.server->conns.size(), 2);
    rig.engine->checkmail(); // hotkey
    EXPECT_EQ(rig.server->conns[1].commands.last(), QStringLiteral("QUIT"));
    EXPECT_TRUE(rig.server->conns[1].closedByClient);
    EXPECT_EQ(rig.server->conns[2].host, QStringLiteral("h1:110"));
    rig.settle();
    EXPECT_EQ(rig.view.checkEnds.size(), 1);
    EXPECT_EQ(rig.server->conns.size(), 5);
}

TEST(CheckCycle, PendingNextAccountTickDoesNotRunIntoNewCycle)
{
    Rig rig(threeAccounts());
    rig.engine->checkmail();
    rig.server->pump(); // A done, logontimer pending
    ASSERT_TRUE(rig.timers.active(TimerId::Logon));
    rig.engine->checkmail();
    rig.timers.advance(500);
    rig.server->pump();
    // Only the new cycle's first session runs; B was not started by the old tick.
    EXPECT_EQ(hosts(*rig.server), (QStringList{"h1:110", "h1:110"}));
}

TEST(CheckCycle, PeriodicCheckWaitsForRunningRetrieveThenRuns)
{
    Rig rig({{QStringLiteral("A")}}, {{"Checktimerval", QStringLiteral("1")}, {"Timeupval", QStringLiteral("3")}});
    const QByteArray message = jpMessage(wYamada, wTest, "m1@x", "slow body\r\n");
    rig.box(1).messages = {message};
    rig.engine->checkmail();
    rig.settle();
    rig.rec(1, 1).mark = true;
    rig.engine->retrieveMarked();
    while (!rig.server->commands(1).contains(QStringLiteral("RETR 1")))
        rig.server->pump(1);
    rig.server->dropQueue(); // the RETR reply takes 90 s
    rig.timers.advance(90000);
    rig.engine->checkWhenFree(); // as the machine wakes meanwhile: the same one check
    EXPECT_EQ(rig.server->conns.size(), 2);
    EXPECT_FALSE(rig.server->conns[1].closedByClient);
    rig.server->injectBytes(rig.server->conns[1].id, "+OK\r\n" + message + ".\r\n");
    rig.settle();
    EXPECT_TRUE(rig.rec(1, 1).body.contains(QStringLiteral("slow body")));
    ASSERT_EQ(rig.server->conns.size(), 3); // the check that came due
    EXPECT_EQ(rig.server->commands(2).value(2), QStringLiteral("STAT"));
    EXPECT_EQ(rig.view.checkEnds.size(), 2);
}

TEST(CheckCycle, CycleResetClearsLogAndTotal)
{
    Rig rig({{QStringLiteral("A")}}, {{"Option8value", QStringLiteral("1")}});
    rig.box(1).messages = {jpMessage(wYamada, wTest, "m1@x")};
    rig.engine->checkmail();
    rig.settle();
    EXPECT_EQ(rig.engine->total(), 1);
    rig.engine->checkmail();
    EXPECT_EQ(rig.engine->total(), 0);
    EXPECT_TRUE(rig.engine->log().isEmpty());
}

} // namespace
} // namespace lum::test
