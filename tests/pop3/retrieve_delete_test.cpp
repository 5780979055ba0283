// The retrieve and delete sessions: which accounts and messages they visit, the command
// sequences, and that a mailbox changed since the check never gets the wrong message
// filed or deleted.
#include "settings/password.h"
#include "support/rig.h"

#include <gtest/gtest.h>

namespace lum::test {
namespace {

QList<QByteArray> messages(int n, const QByteArray &tag)
{
    const QByteArray words[] = {wTest, wHello, wMeeting, wBill, wYamada};
    QList<QByteArray> list;
    for (int i = 1; i <= n; ++i) {
        list.append(jpMessage(wYamada, words[i % 5], tag + QByteArray::number(i) + "@example.jp",
                              "body of " + tag + QByteArray::number(i) + "\r\n"));
    }
    return list;
}

QList<TestAccount> accounts3()
{
    return {{QStringLiteral("A"), QStringLiteral("h1")},
            {QStringLiteral("B"), QStringLiteral("h2")},
            {QStringLiteral("C"), QStringLiteral("h3")}};
}

// Three accounts with six messages each, checked once.
std::unique_ptr<Rig> checkedRig(const QList<std::pair<const char *, QString>> &settings = {})
{
    auto rig = std::make_unique<Rig>(accounts3(), settings);
    for (int a = 1; a <= 3; ++a)
        rig->box(a).messages = messages(6, "a" + QByteArray::number(a) + "m");
    rig->engine->checkmail();
    rig->settle();
    rig->server->conns.clear();
    return rig;
}

const QStringList login{QStringLiteral("USER user"), QStringLiteral("PASS pass")};

TEST(RetrieveSession, VisitsOnlyAccountsWithWantedMessages)
{
    auto rig = checkedRig();
    rig->engine->checkmail(); // caption now shows the total
    rig->settle();
    rig->server->conns.clear();
    rig->rec(1, 2).mark = rig->rec(1, 5).mark = true;
    rig->rec(3, 1).mark = true;
    rig->engine->retrieveMarked();
    EXPECT_TRUE(rig->engine->busy());
    rig->settle();
    ASSERT_EQ(rig->server->conns.size(), 2);
    EXPECT_EQ(rig->server->conns[0].host, QStringLiteral("h1:110"));
    EXPECT_EQ(rig->server->commands(0), (login + QStringList{"RETR 2", "RETR 5", "QUIT"}));
    EXPECT_EQ(rig->server->conns[1].host, QStringLiteral("h3:110"));
    EXPECT_EQ(rig->server->commands(1), (login + QStringList{"RETR 1", "QUIT"}));
    EXPECT_TRUE(rig->rec(1, 2).body.contains(QStringLiteral("body of a1m2")));
    EXPECT_TRUE(rig->rec(1, 5).body.contains(QStringLiteral("body of a1m5")));
    EXPECT_TRUE(rig->rec(3, 1).body.contains(QStringLiteral("body of a3m1")));
    EXPECT_TRUE(rig->rec(1, 3).body.isEmpty());
    EXPECT_EQ(rig->view.retrieveEnds, 1);
    EXPECT_TRUE(rig->view.captions.contains(QStringLiteral("Lumora -メール取得中:A-")));
    EXPECT_EQ(rig->engine->caption(), QStringLiteral("18通のメールが届いています!")); // restored
    EXPECT_FALSE(rig->engine->busy());
}

TEST(RetrieveSession, AlreadyRetrievedMessagesAreNotFetchedAgain)
{
    auto rig = checkedRig();
    rig->rec(2, 3).mark = true;
    rig->rec(2, 3).body = QStringLiteral("already here");
    rig->rec(2, 3).retrieved = true;
    rig->engine->retrieveMarked();
    rig->settle();
    EXPECT_TRUE(rig->server->conns.isEmpty());
    EXPECT_EQ(rig->view.retrieveEnds, 1);
}

TEST(RetrieveSession, AttachmentOnlyMessageCountsAsRetrieved)
{
    Rig rig({{QStringLiteral("A")}});
    rig.box(1).messages = {"Message-ID: <pdf@x>\r\nSubject: pdf\r\n"
                           "Content-Type: multipart/mixed; boundary=\"B\"\r\n\r\n"
                           "--B\r\nContent-Type: application/pdf; name=\"a.pdf\"\r\n\r\nJVBERi0=\r\n--B--\r\n"};
    rig.engine->checkmail();
    rig.settle();
    for (int round = 0; round < 2; ++round) {
        rig.rec(1, 1).mark = true;
        rig.engine->retrieveMarked();
        rig.settle();
    }
    EXPECT_EQ(rig.server->allCommands().count(QStringLiteral("RETR 1")), 1);
    EXPECT_EQ(rig.rec(1, 1).attachNames, QStringLiteral("\"a.pdf\" "));
}

TEST(RetrieveSession, ChangedMailboxDoesNotFileOtherMessage)
{
    auto rig = checkedRig({{"Option3value", QStringLiteral("0")}});
    rig->box(1).messages.removeAt(0); // another client deleted message 1
    rig->rec(1, 2).mark = rig->rec(1, 4).mark = true;
    rig->engine->retrieveMarked();
    rig->settle();
    // Both numbers now name other messages (the old 3 and 5).
    EXPECT_EQ(rig->server->commands(0), (login + QStringList{"RETR 2", "RETR 4", "QUIT"}));
    EXPECT_TRUE(rig->rec(1, 2).body.isEmpty());
    EXPECT_TRUE(rig->rec(1, 4).body.isEmpty());
    ASSERT_EQ(rig->view.messages.size(), 2);
    EXPECT_TRUE(rig->view.messages[0].contains(QStringLiteral("取得しませんでした")));
    EXPECT_TRUE(rig->view.messages[0].contains(QStringLiteral("2")));
}

TEST(RetrieveSession, NegativeReplyEndsAccountWithCaptionLumora)
{
    auto rig = checkedRig({{"Option3value", QStringLiteral("0")}});
    rig->box(1).override = [](const QByteArray &cmd) -> QByteArray {
        return cmd.startsWith("RETR") ? QByteArray("-ERR locked\r\n") : QByteArray();
    };
    rig->rec(1, 1).mark = rig->rec(2, 1).mark = true;
    rig->engine->retrieveMarked();
    rig->server->pump();
    EXPECT_EQ(rig->server->commands(0), (login + QStringList{"RETR 1", "QUIT"}));
    EXPECT_EQ(rig->view.messages, QStringList{QStringLiteral(" locked\r\n")});
    EXPECT_EQ(rig->engine->caption(), QStringLiteral("Lumora"));
    rig->settle();
    EXPECT_FALSE(rig->rec(2, 1).body.isEmpty()); // the next account still ran
}

TEST(RetrieveSession, LogHoldsShortenedReply)
{
    auto rig = checkedRig({{"Option8value", QStringLiteral("1")}});
    rig->rec(1, 1).mark = true;
    rig->engine->retrieveMarked();
    rig->settle();
    EXPECT_TRUE(rig->engine->log().contains("body of a1m1\r\n.\r\n\r\nQUIT\r\n\r\n"));
}

TEST(DeleteSession, ChecksEachMessageBeforeDeleteInAscendingOrder)
{
    auto rig = checkedRig();
    rig->box(2).messages = messages(9, "a2m");
    rig->engine->checkmail();
    rig->settle();
    rig->server->conns.clear();
    rig->rec(2, 9).mark = rig->rec(2, 2).mark = rig->rec(2, 4).mark = true;
    rig->engine->deleteMarked();
    rig->settle();
    EXPECT_EQ(rig->server->conns[0].host, QStringLiteral("h2:110"));
    EXPECT_EQ(rig->server->commands(0),
              (login + QStringList{"TOP 2 0", "DELE 2", "TOP 4 0", "DELE 4", "TOP 9 0", "DELE 9", "QUIT"}));
    EXPECT_TRUE(rig->view.captions.contains(QStringLiteral("Lumora -メール削除中:B-")));
    // Then one check over all accounts.
    ASSERT_EQ(rig->server->conns.size(), 4);
    EXPECT_EQ(rig->engine->previousCount(2), 6);
    EXPECT_EQ(rig->rec(2, 2).subject, QStringLiteral("請求書")); // the old 3 moved up
    EXPECT_TRUE(rig->engine->suppress());
}

// Message 2's TOP failed during the check, so its record holds no identity; a header
// naming none of Message-ID, Date, From and Subject must not count as a match for it.
TEST(DeleteSession, MessageWhoseIdentityWasNeverReadIsNotTouched)
{
    Rig rig({{QStringLiteral("A")}}, {{"Option3value", QStringLiteral("0")}});
    rig.box(1).messages = messages(3, "m");
    rig.box(1).override = [](const QByteArray &cmd) -> QByteArray {
        if (cmd == "TOP 2 5")
            return "-ERR no such header\r\n";
        if (cmd == "TOP 2 0" || cmd == "RETR 2")
            return "+OK\r\nX-Spam: yes\r\n\r\nspam\r\n.\r\n";
        return {};
    };
    rig.engine->checkmail();
    rig.settle();
    rig.rec(1, 2).mark = true;
    rig.engine->retrieveMarked();
    rig.settle();
    EXPECT_TRUE(rig.rec(1, 2).body.isEmpty());
    rig.rec(1, 2).mark = true;
    rig.engine->deleteMarked();
    rig.settle();
    EXPECT_FALSE(rig.server->allCommands().contains(QStringLiteral("DELE 2")));
    EXPECT_EQ(rig.box(1).messages.size(), 3);
    EXPECT_EQ(rig.view.messages.filter(QStringLiteral("識別できない")).size(), 2)
        << rig.view.messages.join('|').toStdString();
}

TEST(DeleteSession, MessageIdWithNulIsStillTheSameMessage)
{
    Rig rig({{QStringLiteral("A")}});
    rig.box(1).messages = {QByteArray("Message-ID: <a\0b@x>\r\nSubject: nul\r\n\r\nbody\r\n", 43)};
    rig.engine->checkmail();
    rig.settle();
    rig.rec(1, 1).mark = true;
    rig.engine->deleteMarked();
    rig.settle();
    EXPECT_TRUE(rig.server->allCommands().contains(QStringLiteral("DELE 1")));
    EXPECT_TRUE(rig.box(1).messages.isEmpty());
}

TEST(DeleteSession, SingleMarkedMessage)
{
    auto rig = checkedRig();
    rig->rec(3, 6).mark = true;
    rig->engine->deleteMarked();
    rig->settle();
    EXPECT_EQ(rig->server->commands(0), (login + QStringList{"TOP 6 0", "DELE 6", "QUIT"}));
    EXPECT_EQ(rig->box(3).messages.size(), 5);
}

TEST(DeleteSession, NoMarksMeansNoConnectionAndACheckAtOnce)
{
    auto rig = checkedRig();
    rig->engine->deleteMarked();
    EXPECT_EQ(rig->server->conns.size(), 1); // the check's first account
    EXPECT_EQ(rig->server->conns[0].host, QStringLiteral("h1:110"));
    EXPECT_TRUE(rig->engine->suppress());
}

TEST(DeleteSession, ChangedMailboxDeletesNothingWrong)
{
    auto rig = checkedRig({{"Option3value", QStringLiteral("0")}});
    const QByteArray keep2 = rig->box(1).messages[1];
    const QByteArray keep4 = rig->box(1).messages[3];
    rig->box(1).messages.removeAt(0); // another client deleted message 1
    rig->rec(1, 2).mark = rig->rec(1, 4).mark = true;
    rig->engine->deleteMarked();
    rig->settle();
    EXPECT_EQ(rig->server->commands(0), (login + QStringList{"TOP 2 0", "TOP 4 0", "QUIT"}));
    EXPECT_TRUE(rig->box(1).messages.contains(keep2));
    EXPECT_TRUE(rig->box(1).messages.contains(keep4));
    EXPECT_EQ(rig->box(1).messages.size(), 5);
    ASSERT_GE(rig->view.messages.size(), 2);
    EXPECT_TRUE(rig->view.messages[0].contains(QStringLiteral("削除しませんでした")));
}

TEST(DeleteSession, MessageGoneSkipsItAndDeletesTheRest)
{
    auto rig = checkedRig({{"Option3value", QStringLiteral("0")}});
    rig->box(1).messages.removeLast(); // message 6 gone, 1..5 unchanged
    rig->rec(1, 3).mark = rig->rec(1, 6).mark = true;
    rig->rec(1, 1).mark = true;
    rig->engine->deleteMarked();
    rig->settle();
    EXPECT_EQ(rig->server->commands(0),
              (login + QStringList{"TOP 1 0", "DELE 1", "TOP 3 0", "DELE 3", "TOP 6 0", "QUIT"}));
    EXPECT_EQ(rig->box(1).messages.size(), 3);
    EXPECT_EQ(rig->view.messages.size(), 1);
}

TEST(DeleteSession, NegativeDeleReplyShowsTextAndQuits)
{
    auto rig = checkedRig({{"Option3value", QStringLiteral("0")}});
    rig->box(1).override = [](const QByteArray &cmd) -> QByteArray {
        return cmd.startsWith("DELE") ? QByteArray("-ERR read-only mailbox\r\n") : QByteArray();
    };
    rig->rec(1, 1).mark = rig->rec(1, 2).mark = true;
    rig->engine->deleteMarked();
    rig->server->pump();
    EXPECT_EQ(rig->server->commands(0), (login + QStringList{"TOP 1 0", "DELE 1", "QUIT"}));
    EXPECT_EQ(rig->view.messages, QStringList{QStringLiteral(" read-only mailbox\r\n")});
    EXPECT_EQ(rig->engine->caption(), QStringLiteral("Lumora"));
}

TEST(DeleteSession, MarksClearedBeforeLoginDeleteNothing)
{
    auto rig = checkedRig();
    rig->rec(2, 1).mark = true;
    rig->rec(1, 4).mark = true;
    rig->engine->deleteMarked(); // account 1's session opens
    rig->rec(1, 4).mark = false;
    rig->settle();
    EXPECT_EQ(rig->server->commands(0), (QStringList{"USER user", "PASS pass", "QUIT"}));
    EXPECT_EQ(rig->box(1).messages.size(), 6);
    EXPECT_EQ(rig->box(2).messages.size(), 5);
}

TEST(RetrieveSession, MarksClearedBeforeGreetingFetchNothing)
{
    auto rig = checkedRig();
    rig->rec(1, 4).mark = true;
    rig->engine->retrieveMarked();
    rig->rec(1, 4).mark = false;
    rig->settle();
    EXPECT_EQ(rig->server->commands(0), (QStringList{"USER user", "PASS pass", "QUIT"}));
    EXPECT_TRUE(rig->rec(1, 4).body.isEmpty());
}

TEST(DeleteSession, FollowingCheckRaisesNoNewMailWithOnlyNewer)
{
    auto rig = checkedRig({{"Option6value", QStringLiteral("1")}});
    rig->rec(2, 1).mark = rig->rec(3, 1).mark = true;
    rig->engine->deleteMarked();
    rig->settle();
    ASSERT_EQ(rig->view.checkEnds.size(), 2);
    EXPECT_FALSE(rig->view.checkEnds.last().newMail);
    EXPECT_EQ(rig->view.checkEnds.last().total, 16);
}

// The options program closing while a session waits for the server reloads every account
// into the options: the session still logs in with its own account only.
TEST(Sessions, KeepTheirOwnCredentialsWhenOptionsAreReloaded)
{
    for (const auto &run : std::vector<std::function<void(Rig &)>>{
             [](Rig &r) { r.engine->checkmail(); }, [](Rig &r) { r.engine->retrieveMarked(); },
             [](Rig &r) { r.engine->deleteMarked(); }}) {
        auto rig = checkedRig();
        rig->temp.store().writeSetting(QStringLiteral("Passw3"), scramblePassword(QStringLiteral("c")));
        rig->rec(1, 2).mark = true;
        rig->box(1).override = [&rig](const QByteArray &command) {
            if (command.startsWith("USER")) // leaves the last account current
                loadOptions(rig->temp.store(), rig->options);
            return QByteArray();
        };
        run(*rig);
        rig->settle();
        EXPECT_EQ(rig->server->commands(0).mid(0, 2), login);
    }
}

// A message is confirmed by its own header (TOP n 0, or what RETR brings) even where the check
// listed unique ids, which servers reuse; "UIDL n" decides only for a row without identity.
// Message 2, changed behind the checker's back, is neither retrieved into nor deleted.
TEST(Sessions, ConfirmTheMessageItselfWhereTheCheckListedUniqueIds)
{
    enum class Change { None, IdOfACopy, MessageUnderTheSameId };
    struct Row {
        SessionKind kind;
        bool identity; // the messages carry Message-ID, Date and From
        Change change;
        QStringList commands;
    };
    const Row rows[] = {
        {SessionKind::Retrieve, true, Change::None, {"RETR 2", "RETR 4", "QUIT"}},
        {SessionKind::Retrieve, true, Change::MessageUnderTheSameId, {"RETR 2", "RETR 4", "QUIT"}},
        {SessionKind::Delete, true, Change::None, {"TOP 2 0", "DELE 2", "TOP 4 0", "DELE 4", "QUIT"}},
        {SessionKind::Delete, true, Change::MessageUnderTheSameId, {"TOP 2 0", "TOP 4 0", "DELE 4", "QUIT"}},
        {SessionKind::Retrieve, false, Change::IdOfACopy, {"UIDL 2", "UIDL 4", "RETR 4", "QUIT"}},
        {SessionKind::Delete, false, Change::None, {"UIDL 2", "DELE 2", "UIDL 4", "DELE 4", "QUIT"}},
        {SessionKind::Delete, false, Change::IdOfACopy, {"UIDL 2", "UIDL 4", "DELE 4", "QUIT"}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(int(row.kind) * 100 + row.identity * 10 + int(row.change));
        Rig rig({{QStringLiteral("A")}}, {{"Option15value", QStringLiteral("1")}, {"Option3value", QStringLiteral("0")}});
        rig.box(1).messages = row.identity ? messages(5, "m") : QList<QByteArray>(5, "X-Mailer: m\r\n\r\nb\r\n");
        rig.box(1).uidls = {"u1", "u2", "u3", "u4", "u5"};
        rig.box(1).capa = "UIDL\r\n";
        rig.engine->checkmail();
        rig.settle();
        if (row.change == Change::IdOfACopy)
            rig.box(1).uidls[1] = "u2-copy";
        if (row.change == Change::MessageUnderTheSameId) { // of the same size: the next check keeps its row
            rig.box(1).messages[1] = messages(2, "n")[1];
            rig.engine->checkmail();
            rig.settle();
        }
        rig.server->conns.clear();
        rig.rec(1, 2).mark = rig.rec(1, 4).mark = true;
        if (row.kind == SessionKind::Retrieve)
            rig.engine->retrieveMarked();
        else
            rig.engine->deleteMarked();
        rig.settle();
        EXPECT_EQ(rig.server->commands(0), QStringList{"CAPA"} + login + row.commands);
        const bool changed = row.change != Change::None;
        const QString skipped = row.kind == SessionKind::Retrieve ? QStringLiteral("取得しませんでした")
                                                                   : QStringLiteral("削除しませんでした");
        EXPECT_EQ(rig.view.messages, changed ? QStringList{QStringLiteral("ﾒｰﾙﾎﾞｯｸｽが変更されたため、A の 2 番のﾒｰﾙは") + skipped}
                                             : QStringList());
        if (row.kind == SessionKind::Retrieve) {
            EXPECT_EQ(rig.rec(1, 2).retrieved, !changed);
            EXPECT_TRUE(rig.rec(1, 4).retrieved);
        } else {
            EXPECT_EQ(rig.box(1).messages.size(), changed ? 4 : 3);
        }
    }
}

} // namespace
} // namespace lum::test
