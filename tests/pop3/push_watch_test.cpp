#include "pop3/push_watch.h"

#include "support/fake_timers.h"

#include <QStringList>

#include <gtest/gtest.h>

namespace lum {
namespace {

// A watch's life, one line per step: "S text" the server sends text and CR LF on the last
// connection ("⏎" a CR LF inside it), "! closed", "! failed", "! encrypted" its events, "@ s"
// the clock moved on to s seconds; then what follows: "O n [stls]" a connection opened, "T n"
// its TLS handshake, "C" a write, "X n" it closed, "~ s" a timer ran out then, "= check",
// "= no idle"; with showLog "L" a log line too.
struct Row {
    const char *name;
    QByteArray steps;
    bool showLog = false;
    SslMode mode = SslMode::None;
};

QString shown(const QByteArray &bytes)
{
    return QString::fromUtf8(bytes.trimmed()).replace("\r\n", "⏎");
}

// The watch's timers on the first slots of the engine's fake clock.
struct Rig : Transport, PushTimers {
    QStringList trace;
    test::FakeTimers clock;
    ConnId last = 0;

    void open(ConnId id, const QString &, quint16) override { trace << QStringLiteral("O %1").arg(last = id); }
    void openForStartTls(ConnId id, const QString &h, quint16 p) override { open(id, h, p); trace.last() += " stls"; }
    void openTls(ConnId, const QString &, quint16, const QByteArray &) override { ADD_FAILURE(); }
    void startTls(ConnId id, const QByteArray &) override { trace << QStringLiteral("T %1").arg(id); }
    void send(ConnId, const QByteArray &bytes) override { trace << "C " + shown(bytes); }
    void close(ConnId id) override { trace << QStringLiteral("X %1").arg(id); }
    void start(PushTimer id, int ms) override { clock.start(TimerId(id), ms); }
    void stop(PushTimer id) override { clock.stop(TimerId(id)); }
};

QString run(const Row &row)
{
    Rig rig;
    PushWatch watch(rig, rig, "Work", {[&] { rig.trace << "= check"; }, [&] { rig.trace << "= no idle"; },
                                       [&](auto &line) { if (row.showLog) rig.trace << "L " + shown(line); }});
    rig.clock.onTick = [&](TimerId id) {
        rig.clock.stop(id); // the watch's timers run out once
        rig.trace << "~ " + QString::number(rig.clock.now() / 1000.0, 'g', 10);
        watch.timerFired(PushTimer(id));
    };
    watch.start([](PushWatch::LoginAnswer answer) { answer(ImapLogin{"u", "p"}); }, ImapJob{}, "mail.example", 143,
                row.mode, {});
    for (const QByteArray &step : row.steps.split('\n')) {
        if (step.startsWith("S ") || step.startsWith("! ") || step.startsWith("@ "))
            rig.trace << QString::fromUtf8(step);
        if (step.startsWith("S "))
            watch.received(rig.last, QByteArray(step.mid(2)).replace("⏎", "\r\n") + "\r\n");
        else if (step.startsWith("@ "))
            rig.clock.advance(qRound64(step.mid(2).toDouble() * 1000) - rig.clock.now());
        else if (step.startsWith("! "))
            step == "! closed" ? watch.closed(rig.last)
            : step == "! failed" ? watch.failed(rig.last, 10054)
                                 : watch.encrypted(rig.last);
    }
    return rig.trace.join('\n');
}

// Connection n, from its opening to the server's "+" to IDLE; the EXISTS before it is no news.
QByteArray idleUp(int n)
{
    return "O " + QByteArray::number(n) + "\nS * PREAUTH [CAPABILITY IMAP4rev1 IDLE] hi\n"
           "C A1 EXAMINE \"INBOX\"\nS * 1 EXISTS⏎A1 OK done\nC A2 IDLE\nS + idling\n";
}

// Connection 1 idles and gets BYE; nine connections fail, each after twice the wait (at most
// 5 minutes); the eleventh idles, checks what may have come while none was open, and has its
// IDLE ended by the server: 1 s again.
QByteArray backoff()
{
    QByteArray steps = idleUp(1) + "S * BYE Server shutting down\nX 1\n";
    int t = 0, n = 1;
    for (const int wait : {1, 2, 4, 8, 16, 32, 64, 128, 256, 300}) {
        const QByteArray at = QByteArray::number(t += wait), id = QByteArray::number(++n);
        steps += "@ " + at + "\n~ " + at + '\n';
        steps += n < 11 ? "O " + id + "\n" + (n % 2 ? "! failed" : "! closed") + "\nX " + id + '\n'
                        : idleUp(n);
    }
    const QByteArray next = QByteArray::number(t + 1);
    return steps + "S A2 OK done\nX 11\n@ " + next + "\n~ " + QByteArray::number(t) + ".1\n= check\n~ " + next
           + "\nO 12";
}

class PushWatchTest : public ::testing::TestWithParam<Row> {};

TEST_P(PushWatchTest, Life)
{
    EXPECT_EQ(run(GetParam()).toStdString(), GetParam().steps.toStdString());
}

INSTANTIATE_TEST_SUITE_P(Rows, PushWatchTest, ::testing::ValuesIn(std::vector<Row>{
{"burst_gives_one_check_and_news_held_one_more", idleUp(1) + R"(S * 2 EXISTS
S * 3 EXISTS⏎* 1 RECENT
@ 0.1
~ 0.1
= check
@ 1
S * 1 EXPUNGE
@ 1.1
~ 1.1
= check
@ 5
~ 2.1
S * OK Still here⏎* 3 RECENT⏎* FLAGS (\Seen)
@ 6
S * 1 FETCH (FLAGS (\Seen))
@ 6.1
~ 6.1
= check)"},
{"renewed_every_25_minutes_news_meanwhile_checked", idleUp(1) + R"(@ 1500
~ 1500
C DONE
S * 2 EXISTS⏎A2 OK done
C A3 IDLE
S + idling
@ 3060
~ 1500.1
= check
~ 1501.1
~ 3000
C DONE
~ 3060
X 1)"},
{"reopened_with_backoff_that_starts_again_once_idling", backoff()},
{"no_idle_after_login_told_once_never_reopened_logged_login_masked", R"(O 1
S * OK [CAPABILITY IMAP4rev1 IDLE] hi
L [Work] * OK [CAPABILITY IMAP4rev1 IDLE] hi
L [Work] A1 LOGIN ******************************
C A1 LOGIN "u" "p"
S A1 OK [CAPABILITY IMAP4rev1] in
L [Work] A1 OK [CAPABILITY IMAP4rev1] in
L [Work] A2 EXAMINE "INBOX"
C A2 EXAMINE "INBOX"
S A2 OK done
L [Work] A2 OK done
= no idle
L [Work] A3 LOGOUT
C A3 LOGOUT
! failed
L [Work] ﾘﾓｰﾄﾎｽﾄから切断されました
X 1
@ 3600)", true},
{"starttls_first", R"(O 1 stls
S * OK [CAPABILITY IMAP4rev1 STARTTLS IDLE] hi
C A1 STARTTLS
S A1 OK go
T 1
! encrypted
C A2 CAPABILITY)", false, SslMode::Stls},
}), [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace lum
