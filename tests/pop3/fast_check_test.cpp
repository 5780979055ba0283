// Checks with "Option15value" on, against the same checks with it off: what the server is
// asked depends on what it offers and on what changed, and the rows come out the same.
#include "support/rig.h"

#include <gtest/gtest.h>

namespace lum::test {
namespace {

const QByteArray subjects[] = {wTest, wHello, wMeeting, wBill, wYamada, wTest, wHello, wMeeting};

QByteArray mail(int n)
{
    return jpMessage(n % 2 ? wYamada : wBill, subjects[(n - 1) % 8], "m" + QByteArray::number(n) + "@example.jp");
}

// The mailbox as another client leaves it: messages by their first numbers, each with its
// unique id "u" n where the server has them. Some servers give ids that name positions, or
// give a freed id to another message: message 11 gets the id of message 1.
using Change = QList<int>;
const Change gain{1, 2, 3, 4, 5, 6}, lose{2, 3, 4, 5}, reorderAndGain{1, 3, 2, 4, 5, 6},
    gainThree{1, 2, 3, 4, 5, 6, 7, 8};

void fill(Mailbox &box, const Change &messages, bool uidl, bool positions = false)
{
    box.messages.clear();
    box.uidls.clear();
    for (int n : messages) {
        box.messages.append(mail(n));
        if (uidl)
            box.uidls.append(positions ? QByteArray::number(box.messages.size()) : "u" + QByteArray::number(n % 10));
    }
}

struct Row {
    const char *name;
    QByteArray capa;
    bool uidl;
    Change change;
    QStringList first, second; // after the login
    int inFlight;
    int chunk = 0;
    QByteArray brokenTop = {}; // the second check's reply to "TOP 7 5"
    bool restart = false;      // the program starts anew before the second check
    bool corruptFile = false;  // what is on disk at first is damaged
    QByteArray laterCapa = {}; // the second check's CAPA, from a server that no longer lists ids
    SslMode ssl = SslMode::None;
    bool positions = false;  // the ids are the messages' numbers
    bool oneAtATime = false; // from the second check on, the server answers no write of two commands
};

void PrintTo(const Row &r, std::ostream *os) { *os << r.name; }

const QStringList tops5{"TOP 1 5", "TOP 2 5", "TOP 3 5", "TOP 4 5", "TOP 5 5"};
const QStringList quit{"QUIT"};
const QStringList stat{"STAT"};
const QStringList statUidl{"STAT", "UIDL", "LIST"};

const KeptOwner owner{QStringLiteral("pop.example.jp"), 110, QStringLiteral("user")};

class FastCheck : public testing::TestWithParam<Row> {};

void expectSameRows(Rig &fast, Rig &plain)
{
    ASSERT_EQ(fast.engine->listedCount(1), plain.engine->listedCount(1));
    for (int m = 1; m <= plain.engine->listedCount(1); ++m) {
        const MailRecord &f = fast.rec(1, m), &p = plain.rec(1, m);
        EXPECT_EQ(std::tie(f.from, f.subject, f.attach, f.identity), std::tie(p.from, p.subject, p.attach, p.identity))
            << "row " << m;
    }
    EXPECT_EQ(fast.engine->total(), plain.engine->total());
    EXPECT_EQ(fast.engine->caption(), plain.engine->caption());
    EXPECT_EQ(fast.engine->newMail(1), plain.engine->newMail(1));
    EXPECT_EQ(fast.engine->previousCount(1), plain.engine->previousCount(1));
    EXPECT_EQ(fast.view.messages, plain.view.messages);
}

TEST_P(FastCheck, AsksWhatChangedAndFilesTheSameRows)
{
    const Row &row = GetParam();
    const TestSettings settings{{"Option6value", QStringLiteral("1")}, {"Option3value", QStringLiteral("0")}};
    const TestAccount account{.name = QStringLiteral("Home"), .sslmode = row.ssl};
    Rig fast({account}, TestSettings{{"Option15value", QStringLiteral("1")}} + settings);
    Rig plain({account}, settings);
    const QString file = owner.fileName();
    if (row.corruptFile)
        fast.kept.files[file] = QByteArray("LKS1").append(200, 'x');
    fill(fast.box(1), {1, 2, 3, 4, 5}, row.uidl, row.positions);
    fill(plain.box(1), {1, 2, 3, 4, 5}, false);
    fast.box(1).capa = row.capa;
    fast.box(1).chunk = row.chunk;
    fast.box(1).handOff = true;
    const QStringList login =
        (row.ssl == SslMode::Stls ? QStringList{"STLS"} : QStringList()) + QStringList{"CAPA", "USER user", "PASS pass"};
    for (int check = 0; check < 2; ++check) {
        for (Rig *rig : {&fast, &plain}) {
            if (check == 1) {
                fill(rig->box(1), row.change, rig == &fast && row.uidl && row.laterCapa.isEmpty(), row.positions);
                rig->box(1).oneAtATime = row.oneAtATime;
                if (!row.laterCapa.isEmpty())
                    rig->box(1).capa = row.laterCapa;
                if (!row.brokenTop.isEmpty()) {
                    rig->box(1).override = [&row](const QByteArray &cmd) {
                        return cmd == "TOP 7 5" ? row.brokenTop : QByteArray();
                    };
                }
                if (row.restart)
                    rig->restart();
            }
            rig->engine->checkmail();
            for (const int ms : {0, 60000, 60000}) { // the session limit counts whole minutes
                rig->timers.advance(ms);
                rig->settle();
            }
        }
        EXPECT_EQ(fast.server->commands(check), login + (check ? row.second : row.first)) << "check " << check;
        // A server that took pipelined commands gets the next login with CAPA.
        const bool withCapa = check == 1 && row.capa.toUpper().contains("PIPELINING");
        const QByteArray write = fast.server->conns.value(check).writes.value(row.ssl == SslMode::Stls);
        EXPECT_EQ(write.startsWith("CAPA\r\nUSER user\r\n"), withCapa) << "check " << check;
        expectSameRows(fast, plain);
    }
    EXPECT_EQ(fast.server->maxInFlight, row.inFlight);
    EXPECT_EQ(KeptSummaries::fromBytes(fast.kept.files.value(file), owner).size(),
              row.uidl && row.capa.contains("UIDL") && !row.positions
                  ? (row.brokenTop.isEmpty() && row.laterCapa.isEmpty() ? fast.box(1).messages.size() : 5)
                  : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Servers, FastCheck,
    testing::Values(
        Row{"no_capa", "", true, gain, stat + tops5 + quit, stat + tops5 + QStringList{"TOP 6 5"} + quit, 1},
        Row{"capa_without_uidl", "TOP\r\nUSER\r\n", true, gain, stat + tops5 + quit,
            stat + tops5 + QStringList{"TOP 6 5"} + quit, 1},
        Row{"uidl_in_lockstep", "UIDL\r\nTOP\r\n", true, gain, statUidl + tops5 + quit,
            statUidl + QStringList{"TOP 6 5"} + quit, 1},
        Row{"uidl_offered_but_refused", "UIDL\r\nPIPELINING\r\n", false, gain, statUidl + tops5 + quit,
            QStringList{"STAT", "UIDL"} + tops5 + QStringList{"TOP 6 5"} + quit, 7},
        Row{"pipelining_without_uidl", "pipelining\r\n", false, gain, stat + tops5 + quit,
            stat + tops5 + QStringList{"TOP 6 5"} + quit, 7},
        Row{"pipelined_gain", "PIPELINING\r\nUIDL\r\n", true, gain, statUidl + tops5 + quit,
            statUidl + QStringList{"TOP 6 5"} + quit, 6},
        Row{"pipelined_lose", "PIPELINING\r\nUIDL\r\n", true, lose, statUidl + tops5 + quit,
            statUidl + quit, 6},
        Row{"pipelined_reorder", "PIPELINING\r\nUIDL\r\n", true, reorderAndGain, statUidl + tops5 + quit,
            statUidl + QStringList{"TOP 6 5"} + quit, 6},
        Row{"pipelined_every_byte", "PIPELINING\r\nUIDL\r\n", true, gainThree, statUidl + tops5 + quit,
            statUidl + QStringList{"TOP 6 5", "TOP 7 5", "TOP 8 5"} + quit, 6, 1},
        Row{"err_in_the_window", "PIPELINING\r\nUIDL\r\n", true, gainThree, statUidl + tops5 + quit,
            statUidl + QStringList{"TOP 6 5", "TOP 7 5", "TOP 8 5"} + quit, 6, 0, "-ERR gone\r\n"},
        Row{"time_out_with_replies_outstanding", "PIPELINING\r\nUIDL\r\n", true, gainThree,
            statUidl + tops5 + quit, statUidl + QStringList{"TOP 6 5", "TOP 7 5", "TOP 8 5"} + quit, 6, 0, noReply},
        Row{"corrupt_file_then_restart", "PIPELINING\r\nUIDL\r\n", true, gain, statUidl + tops5 + quit,
            statUidl + QStringList{"TOP 6 5"} + quit, 6, 0, {}, true, true},
        Row{"pipelining_and_uidl_withdrawn", "PIPELINING\r\nUIDL\r\n", true, gain, statUidl + tops5 + quit,
            stat + tops5 + QStringList{"TOP 6 5"} + quit, 6, 0, {}, true, false, "TOP\r\n"},
        Row{.name = "hand_off_after_stls", .capa = "PIPELINING\r\nUIDL\r\nSTLS\r\n", .uidl = true, .change = gain,
            .first = statUidl + tops5 + quit, .second = statUidl + QStringList{"TOP 6 5"} + quit, .inFlight = 6,
            .ssl = SslMode::Stls},
        Row{"emptied", "PIPELINING\r\nUIDL\r\n", true, {}, statUidl + tops5 + quit, stat + quit, 6},
        // Message 9 reads as message 1 and has its size.
        Row{.name = "ids_are_positions", .capa = "PIPELINING\r\nUIDL\r\n", .uidl = true, .change = {9, 2, 3, 4, 5, 6},
            .first = statUidl + tops5 + quit, .second = QStringList{"STAT", "UIDL"} + tops5 + QStringList{"TOP 6 5"} + quit,
            .inFlight = 7, .positions = true},
        Row{.name = "id_reused_for_another_size", .capa = "PIPELINING\r\nUIDL\r\n", .uidl = true,
            .change = {11, 2, 3, 4, 5, 6}, .first = statUidl + tops5 + quit,
            .second = statUidl + QStringList{"TOP 1 5", "TOP 6 5"} + quit, .inFlight = 6},
        Row{.name = "login_batch_swallowed", .capa = "PIPELINING\r\nUIDL\r\n", .uidl = true, .change = gain,
            .first = statUidl + tops5 + quit, .second = quit, .inFlight = 6, .oneAtATime = true}),
    [](const auto &info) { return std::string(info.param.name); });

// Ids of 70 characters make a UIDL reply beyond the bound of a header reply.
TEST(FastCheck, ListsAMailboxOfLongIdsWhatEverItsSize)
{
    constexpr int count = 220000;
    Rig rig({{QStringLiteral("Home")}}, {{"Option15value", QStringLiteral("1")}});
    rig.box(1).messages = QList<QByteArray>(count, mail(1));
    for (int n = 1; n <= count; ++n)
        rig.box(1).uidls.append(QByteArray::number(n).rightJustified(70, 'x'));
    rig.box(1).capa = "PIPELINING\r\nUIDL\r\n";
    rig.engine->checkmail();
    rig.settle();
    EXPECT_EQ(rig.engine->listedCount(1), count);
    EXPECT_EQ(KeptSummaries::fromBytes(rig.kept.files.value(owner.fileName()), owner).size(), count); // not the plain listing
}

} // namespace
} // namespace lum::test
