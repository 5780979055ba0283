// Misbehaving servers that Dovecot can't imitate, over real sockets: split and dripped
// replies, connections dropped in mid-reply, NUL bytes, an endless line.
#include "pop3/reply_reader.h"
#include "support/live_rig.h"
#include "support/scripted_server.h"

#include <gtest/gtest.h>

namespace lum::test {
namespace {

using Style = ScriptedServer::Style;
using Action = ScriptedServer::Action;

QList<QByteArray> twoMessages()
{
    return {jpMessage(wYamada, wTest, "s1@x", ".leading dot\r\n"), jpMessage(wBill, wMeeting, "s2@x")};
}

TestAccount at(const ScriptedServer &s, const QString &name = QStringLiteral("S"))
{
    return {name, QStringLiteral("127.0.0.1"), s.port()};
}

struct StyleCase {
    const char *name;
    Style style;
};

class DeliveryStyle : public testing::TestWithParam<StyleCase> {};

TEST_P(DeliveryStyle, FullCheckCompletes)
{
    ScriptedServer server(twoMessages(), GetParam().style);
    LiveRig rig({at(server)}, {{"Option3value", QStringLiteral("0")}});
    ASSERT_TRUE(rig.runCheckCycle());
    EXPECT_TRUE(rig.view.messages.isEmpty()) << rig.view.messages.join(' ').toStdString();
    EXPECT_EQ(rig.engine->total(), 2);
    EXPECT_EQ(rig.rec(1, 1).subject, QStringLiteral("テスト"));
    EXPECT_EQ(rig.rec(1, 2).subject, QStringLiteral("会議の件"));
    QList<QByteArray> expected{"CAPA", "USER user", "PASS pass", "STAT", "TOP 1 5", "TOP 2 5", "QUIT"};
    EXPECT_EQ(server.commands(), expected);
}

INSTANTIATE_TEST_SUITE_P(ScriptedServer, DeliveryStyle,
                         testing::Values(StyleCase{"whole", Style::Whole},
                                         StyleCase{"status_split_after_two_bytes", Style::SplitAfterTwo},
                                         StyleCase{"byte_by_byte_drip", Style::Drip}),
                         [](const auto &info) { return std::string(info.param.name); });

// The first account misbehaves as the hook says; the second is a good server.
struct Outcome {
    QStringList messages;
    qint16 total = 0;
    bool ended = false;
};

Outcome runAgainst(ScriptedServer::Hook hook, std::function<void(LiveRig &)> whileWaiting = {})
{
    ScriptedServer bad(twoMessages(), Style::Whole, std::move(hook));
    ScriptedServer good(twoMessages(), Style::Whole);
    LiveRig rig({at(bad, QStringLiteral("bad")), at(good, QStringLiteral("good"))},
                {{"Option3value", QStringLiteral("0")}});
    rig.engine->checkmail();
    if (whileWaiting)
        whileWaiting(rig);
    Outcome o;
    o.ended = rig.runUntil([&] { return !rig.view.checkEnds.isEmpty(); });
    o.messages = rig.view.messages;
    o.total = rig.engine->total();
    return o;
}

TEST(ScriptedServer, DropInMidTopIsReportedAndNextAccountRuns)
{
    const Outcome o = runAgainst([](const QByteArray &cmd) {
        return cmd == "TOP 2 5" ? Action{"+OK\r\nSubject: cut her", true, false} : Action{};
    });
    ASSERT_TRUE(o.ended);
    EXPECT_EQ(o.messages, QStringList{QStringLiteral("ﾘﾓｰﾄﾎｽﾄから切断されました")});
    EXPECT_EQ(o.total, 4);
}

TEST(ScriptedServer, NulBytesDoNotBreakTheSession)
{
    const Outcome o = runAgainst([](const QByteArray &cmd) {
        if (cmd == "TOP 1 5")
            return Action{QByteArray("+OK\r\nSubject: a\0b\r\nFrom: \0\0\r\n\r\n.\r\n", 34), false, false};
        return Action{};
    });
    ASSERT_TRUE(o.ended);
    EXPECT_TRUE(o.messages.isEmpty());
    EXPECT_EQ(o.total, 4);
}

TEST(ScriptedServer, MegabyteLineIsCutAndTheCheckGoesOn)
{
    const Outcome o = runAgainst([](const QByteArray &cmd) {
        if (cmd == "TOP 1 5")
            return Action{"+OK\r\nSubject: " + QByteArray(1024 * 1024, 'x') + "\r\n\r\n.\r\n", false, false};
        return Action{};
    });
    ASSERT_TRUE(o.ended);
    EXPECT_TRUE(o.messages.isEmpty()) << o.messages.join('|').toStdString();
    EXPECT_EQ(o.total, 4);
}

TEST(ScriptedServer, ServerClosingAfterGreetingIsReported)
{
    const Outcome o = runAgainst([](const QByteArray &cmd) {
        return cmd == "USER user" ? Action{"", true, true} : Action{};
    });
    ASSERT_TRUE(o.ended);
    EXPECT_EQ(o.messages, QStringList{QStringLiteral("ﾘﾓｰﾄﾎｽﾄから切断されました")});
    EXPECT_EQ(o.total, 2);
}

TEST(ScriptedServer, SilentAfterStatTimesOut)
{
    const Outcome o = runAgainst(
        [](const QByteArray &cmd) { return cmd == "STAT" ? Action{"", false, true} : Action{}; },
        [](LiveRig &rig) {
            rig.runUntil([&] { return rig.engine->step() == 4; }, 10000);
            rig.runUntil([] { return false; }, 100);
            rig.timers.advance(60000);
        });
    ASSERT_TRUE(o.ended);
    EXPECT_EQ(o.messages, QStringList{QStringLiteral("ｻｰﾊﾞｰから時間内に応答がありませんでした")});
    EXPECT_EQ(o.total, 2);
}

} // namespace
} // namespace lum::test
