#include "imap/imap_session.h"

#include <QStringList>

#include <gtest/gtest.h>

namespace lum {
namespace {

// A dialogue, one line per step: "S text" the server sends text and CR LF ("⏎" is a CR LF
// inside it, "…" 40,000 more " 7", a line beyond the usual bound), "! tls" or "! close"
// the connection's events; then what follows from it: "C" one write of the session (CR LF
// shown as "⏎", the last left out), "L" what the protocol log shows of that write when it
// is not the same (a mask as "******"), "=" a host call.
struct Row {
    const char *name;
    QByteArray steps;
    ImapTask task = ImapTask::Check;
    bool startTls = false;
    QByteArray user = "u", password = "p", bearer = {}, xoauth2 = {};
    bool splitToo = true; // also fed a byte at a time, with the same outcome
    QByteArray mailbox = "INBOX";
};

QString shown(QByteArray bytes)
{
    bytes.chop(bytes.endsWith("\r\n") ? 2 : 0);
    return QString::fromUtf8(bytes.replace("\r\n", "⏎").replace("******************************", "******"));
}

using Uids = std::vector<quint32>;

struct FakeHost : ImapSessionHost {
    QStringList trace;
    static QString n(quint64 number) { return QString::number(number); }
    template <typename... P> void add(const P &...parts) { trace << QStringList{"=", QString(parts)...}.join(' '); }
    void send(const QByteArray &bytes, const QByteArray &logged) override
    {
        trace << ("C " + shown(bytes)).trimmed();
        if (logged != bytes)
            trace << ("L " + shown(logged)).trimmed();
    }
    void logResponse(const QByteArray &) override {}
    void startTls() override { add("starttls"); }
    // Summaries of UID 1 are kept: the others are asked for.
    Uids listed(quint32 uidValidity, const Uids &uids) override
    {
        add("listed", n(uidValidity), uidSet(uids));
        return Uids(std::upper_bound(uids.begin(), uids.end(), 1u), uids.end());
    }
    void headerFetched(quint32 u, qint64 size, const QByteArray &h) override { add("header", n(u), n(size), shown(h)); }
    void messageFetched(quint32 uid, const QByteArray &m) override { add("message", n(uid), shown(m)); }
    void messageGone(quint32 uid) override { add("gone", n(uid)); }
    void deleted(const Uids &u, bool all) override { add("deleted", uidSet(u), all ? "expunged" : "flagged"); }
    void mailboxChanged() override { add("changed"); }
    void tokenRefused(const QString &text) override { add("token refused:", text); }
    void finished(const QString &error) override { add(error.isEmpty() ? "finished" : "finished: " + error); }
};

// The trace of the dialogue: its "S" and "!" lines, and what the session did after each.
QString run(const Row &row, bool split)
{
    FakeHost host;
    ImapSession session(host, {row.user, row.password, row.bearer, row.xoauth2},
                        {row.task, row.mailbox, row.startTls, 7, {3, 5}});
    for (const QByteArray &step : row.steps.split('\n')) {
        if (step.startsWith("S ")) {
            host.trace << QString::fromUtf8(step);
            QByteArray bytes = step.mid(2).replace("⏎", "\r\n").replace("…", QByteArray(" 7").repeated(40000));
            bytes += "\r\n";
            for (qsizetype i = 0; i < bytes.size(); i += split ? 1 : bytes.size())
                session.received(QByteArrayView(bytes).sliced(i, split ? 1 : bytes.size()));
            EXPECT_TRUE(session.progressed() || session.over());
        } else if (step.startsWith("! ")) {
            host.trace << QString::fromUtf8(step);
            step == "! tls" ? session.encrypted() : session.closed();
        }
    }
    EXPECT_EQ(session.over(), host.trace.last().startsWith("= finished"));
    return host.trace.join('\n');
}

class ImapSessionTest : public ::testing::TestWithParam<Row> {};

TEST_P(ImapSessionTest, Dialogue)
{
    for (const bool split : {false, GetParam().splitToo})
        EXPECT_EQ(run(GetParam(), split), QString::fromUtf8(GetParam().steps));
}

INSTANTIATE_TEST_SUITE_P(Rows, ImapSessionTest, ::testing::ValuesIn(std::vector<Row>{
{"dovecot_check", R"(S * OK [CAPABILITY IMAP4rev1 SASL-IR ID ENABLE IDLE LITERAL+ AUTH=PLAIN] Dovecot ready.
C A1 LOGIN {3+}⏎a"b {6+}⏎パス
L A1 LOGIN ******
S A1 OK [CAPABILITY IMAP4rev1 SASL-IR ID ENABLE IDLE SORT UIDPLUS LITERAL+] Logged in
C A2 EXAMINE "INBOX"⏎A3 UID SEARCH UNSEEN UNDELETED
S * FLAGS (\Answered \Deleted \Seen)⏎* 3 EXISTS⏎* 0 RECENT⏎* OK [UIDVALIDITY 7] UIDs valid⏎A2 OK [READ-ONLY] Examine completed
S * SEARCH 1 3 4⏎A3 OK Search completed
= listed 7 1,3:4
C A4 UID FETCH 3:4 (UID RFC822.SIZE BODY.PEEK[HEADER])⏎A5 LOGOUT
S * 2 FETCH (UID 3 RFC822.SIZE 120 BODY[HEADER] {14}⏎Subject: a⏎⏎)
= header 3 120 Subject: a⏎
S * 3 FETCH (UID 4 RFC822.SIZE 99 BODY[HEADER] {14}⏎Subject: b⏎⏎)⏎A4 OK Fetch completed
= header 4 99 Subject: b⏎
S * BYE Logging out⏎A5 OK Logout completed.
= finished)", ImapTask::Check, false, "a\"b", "パス"},
{"starttls_not_listed", R"(S * OK [CAPABILITY IMAP4rev1 LOGINDISABLED] ready
= finished: ｻｰﾊﾞｰが暗号化(STARTTLS)に対応していません)", ImapTask::Check, true},
{"starttls_then_capabilities_again", R"(S * OK ready
C A1 CAPABILITY
S * CAPABILITY IMAP4rev1 STARTTLS LOGINDISABLED⏎A1 OK done
C A2 STARTTLS
S A2 OK Begin TLS
= starttls
! tls
C A3 CAPABILITY
S * CAPABILITY IMAP4rev1 AUTH=PLAIN⏎A3 OK done
C A4 LOGIN "u" "p"
L A4 LOGIN ******
! close
= finished: ﾘﾓｰﾄﾎｽﾄから切断されました)", ImapTask::Check, true},
{"starttls_bytes_before_handshake", R"(S * OK [CAPABILITY IMAP4rev1 STARTTLS] ready
C A1 STARTTLS
S A1 OK Begin TLS⏎* OK [CAPABILITY IMAP4rev1 AUTH=PLAIN] injected
= finished: 暗号化通信を開始できません)", ImapTask::Check, true, "u", "p", {}, {}, false},
{"preauth_where_starttls_is_wanted", R"(S * PREAUTH [CAPABILITY IMAP4rev1 STARTTLS] hi
= finished: ｻｰﾊﾞｰが暗号化(STARTTLS)に対応していません)", ImapTask::Check, true},
{"logindisabled", R"(S * OK [CAPABILITY IMAP4rev1 LOGINDISABLED] ready
= finished: ｻｰﾊﾞｰが暗号化していない接続でのﾛｸﾞｲﾝを受け付けません)"},
{"line_break_in_user", R"(S * OK [CAPABILITY IMAP4rev1] ready
= finished: ﾕｰｻﾞｰ名かﾊﾟｽﾜｰﾄﾞに改行などの使えない文字が含まれています)", ImapTask::Check, false, "u\nA9 LOGOUT"},
{"literal_login_waits_for_continuations", R"(S * OK [CAPABILITY IMAP4rev1] ready
C A1 LOGIN {3}
L A1 LOGIN ******
S + go ahead
C a"b {6}
L
S + go ahead
C パス
L
S A1 NO [AUTHENTICATIONFAILED] Authentication failed.
= finished: Authentication failed.)", ImapTask::Check, false, "a\"b", "パス"},
{"oauthbearer_with_sasl_ir_challenge_then_unavailable", R"(S * OK [CAPABILITY IMAP4rev1 SASL-IR AUTH=OAUTHBEARER] ready
C A1 AUTHENTICATE OAUTHBEARER QkVBUkVS
L A1 AUTHENTICATE OAUTHBEARER ******
S + eyJzdGF0dXMiOiI0MDEifQ==
C AQ==
L ******
S A1 NO [UNAVAILABLE] Try later
= finished: Try later)", ImapTask::Check, false, "u", "", "QkVBUkVS", "WE9BVVRI"},
{"xoauth2_after_continuation_token_refused", R"(S * OK [CAPABILITY IMAP4rev1 AUTH=XOAUTH2] ready
C A1 AUTHENTICATE XOAUTH2
S +
C WE9BVVRI
L ******
S + eyJzdGF0dXMiOiI0MDEifQ==
C
L ******
S A1 NO [AUTHENTICATIONFAILED] Invalid credentials
= token refused: Invalid credentials
= finished: Invalid credentials)", ImapTask::Check, false, "u", "", "QkVBUkVS", "WE9BVVRI"},
{"bye_in_the_middle", R"(S * PREAUTH hi
C A1 EXAMINE "INBOX"⏎A2 UID SEARCH UNSEEN UNDELETED
S * BYE Server shutting down⏎A1 OK fine
= finished: Server shutting down)"},
{"delete_with_uidplus", R"(S * PREAUTH [CAPABILITY IMAP4rev1 UIDPLUS] hi
C A1 SELECT "INBOX"
S * 9 EXISTS⏎* OK [UIDVALIDITY 7] ok⏎A1 OK [READ-WRITE] done
C A2 UID STORE 3,5 +FLAGS.SILENT (\Deleted)
S A2 OK stored
C A3 UID EXPUNGE 3,5
S * 2 EXPUNGE⏎* 3 EXPUNGE⏎A3 OK expunged
= deleted 3,5 expunged
C A4 LOGOUT
S * BYE bye
! close
= finished)", ImapTask::Delete},
{"delete_without_uidplus_only_ours_flagged", R"(S * OK [CAPABILITY IMAP4rev1 UIDPLUS] ready
C A1 LOGIN "u" "p"
L A1 LOGIN ******
S A1 OK logged in
C A2 CAPABILITY⏎A3 SELECT {3}
S * CAPABILITY IMAP4rev1⏎A2 OK done
S + go on
C Q"1
S * OK [UIDVALIDITY 7] ok⏎A3 OK done
C A4 UID STORE 3,5 +FLAGS.SILENT (\Deleted)
S A4 OK stored
C A5 UID SEARCH DELETED
S * SEARCH 3 5⏎A5 OK done
C A6 EXPUNGE
S * 2 EXPUNGE⏎A6 OK done
= deleted 3,5 expunged
C A7 LOGOUT)", ImapTask::Delete, false, "u", "p", {}, {}, true, "Q\"1"},
{"delete_without_uidplus_another_flagged", R"(S * PREAUTH [CAPABILITY IMAP4rev1] hi
C A1 SELECT "INBOX"
S * OK [UIDVALIDITY 7] ok⏎A1 OK done
C A2 UID STORE 3,5 +FLAGS.SILENT (\Deleted)
S A2 OK stored
C A3 UID SEARCH DELETED
S * SEARCH 3 4 5…⏎A3 OK done
= deleted 3,5 flagged
C A4 LOGOUT)", ImapTask::Delete},
{"delete_under_another_uidvalidity", R"(S * PREAUTH [CAPABILITY IMAP4rev1 UIDPLUS] hi
C A1 SELECT "INBOX"
S * OK [UIDVALIDITY 8] ok⏎A1 OK done
= changed
C A2 LOGOUT)", ImapTask::Delete},
{"folder_not_opened", R"(S * PREAUTH hi
C A1 EXAMINE "INBOX"⏎A2 UID SEARCH UNSEEN UNDELETED
S A1 NO [NONEXISTENT] Mailbox doesn't exist: INBOX
= finished: ﾌｫﾙﾀﾞを開けません:Mailbox doesn't exist: INBOX)"},
{"retrieve_without_uidvalidity", R"(S * PREAUTH hi
C A1 EXAMINE "INBOX"
S A1 OK done
= changed
C A2 LOGOUT)", ImapTask::Retrieve},
{"retrieve_of_a_gone_message", R"(S * PREAUTH hi
C A1 EXAMINE "INBOX"
S * OK [UIDVALIDITY 7] ok⏎A1 OK done
C A2 UID FETCH 3 (UID BODY.PEEK[])
S * 1 FETCH (UID 3 BODY[] {10}⏎Hi⏎⏎body)⏎A2 OK done
= message 3 Hi⏎⏎body
C A3 UID FETCH 5 (UID BODY.PEEK[])⏎A4 LOGOUT
S A3 OK done⏎A4 OK bye
= gone 5
= finished)", ImapTask::Retrieve},
{"check_with_literals_and_items_in_odd_places", R"(S * PREAUTH [CAPABILITY IMAP4rev1] hi
C A1 EXAMINE "INBOX"⏎A2 UID SEARCH UNSEEN UNDELETED
S * OK [UIDVALIDITY 7] ok⏎A1 OK done⏎* ESEARCH (TAG "A2") UID ALL 1:4⏎A2 OK done
= listed 7 1:4
C A3 UID FETCH 2:4 (UID RFC822.SIZE BODY.PEEK[HEADER])⏎A4 LOGOUT
S * 1 FETCH (FLAGS (\Seen) UID 1)⏎* 5 FETCH (FLAGS (\Seen))⏎* 2 FETCH (BODY[HEADER] {8}⏎X: a⏎⏎ UID 2 RFC822.SIZE 50)
= header 2 50 X: a⏎
S * 3 FETCH (UID 3 BODY[HEADER] "Y: b")⏎* 3 FETCH (UID 3 RFC822.SIZE 60)⏎* 9 FETCH (UID 9 RFC822.SIZE 1 BODY[HEADER] "Z: c")
= header 3 60 Y: b
S * 4 FETCH (UID 4 BODY[HEADER] "W: d")⏎A3 OK done⏎A4 OK bye
= header 4 0 W: d
= finished)"},
{"unknown_tag", R"(S * PREAUTH hi
C A1 EXAMINE "INBOX"⏎A2 UID SEARCH UNSEEN UNDELETED
S A7 OK what
= finished: ｻｰﾊﾞｰの応答が正しくありません)"},
{"literal_beyond_its_bound", R"(S * PREAUTH hi
C A1 EXAMINE "INBOX"⏎A2 UID SEARCH UNSEEN UNDELETED
S * 1 FETCH (UID 1 BODY[HEADER] {99999999999}
= finished: ｻｰﾊﾞｰからの応答が大きすぎます)"},
{"nesting_beyond_its_bound", R"(S * PREAUTH hi
C A1 EXAMINE "INBOX"⏎A2 UID SEARCH UNSEEN UNDELETED
S * 1 FETCH ((((((((((((((((((((((((((((((((((((((((((((((((
= finished: ｻｰﾊﾞｰからの応答が大きすぎます)"},
}), [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace lum
