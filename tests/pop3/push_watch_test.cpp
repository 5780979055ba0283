#include "pop3/push_watch.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <array>

namespace lum {
namespace {

// A watch's life, one line per step: "S text" the server sends text and CR LF on the
// connection opened last ("⏎" a CR LF inside it), "! closed", "! failed", "! encrypted"
// its events, "! stop", "! reopen" the owner's calls, "@ m:ss.mmm" the clock moved on to
// then; after each, what follows: "O n host:port" a connection opened (plain, or "stls"),
// "T n" its TLS handshake started, "C" a write (CR LF as "⏎"), "X n" it closed,
// "~ m:ss.mmm" a timer that ran out then, "= check", "= no idle", and in the row that
// shows the log "L" a log line in place of "C".
struct Row {
    const char *name;
    QByteArray steps;
    QByteArray logins = {}; // per request: 'n' no login, else one at once
    bool showLog = false;
    SslMode mode = SslMode::None;
};

QString shown(QByteArray bytes)
{
    bytes.chop(bytes.endsWith("\r\n") ? 2 : 0);
    return QString::fromUtf8(bytes.replace("\r\n", "⏎").replace("******************************", "******"));
}

QByteArray at(qint64 ms)
{
    return QString::asprintf("%lld:%06.3f", ms / 60000, double(ms % 60000) / 1000).toUtf8();
}

struct Rig : Transport, PushTimers {
    QStringList trace;
    std::array<std::optional<qint64>, 3> due;
    qint64 now = 0;
    ConnId last = 0;
    PushWatch *watch = nullptr;
    bool showLog = false;

    void open(ConnId id, const QString &host, quint16 port) override
    {
        trace << QStringLiteral("O %1 %2:%3").arg(last = id).arg(host).arg(port);
    }
    void openForStartTls(ConnId id, const QString &host, quint16 port) override
    {
        open(id, host, port);
        trace.last() += " stls";
    }
    void openTls(ConnId, const QString &, quint16, const QByteArray &) override { ADD_FAILURE(); }
    void startTls(ConnId id, const QByteArray &) override { trace << QStringLiteral("T %1").arg(id); }
    void send(ConnId, const QByteArray &bytes) override
    {
        if (!showLog)
            trace << "C " + shown(bytes);
    }
    void close(ConnId id) override { trace << QStringLiteral("X %1").arg(id); }
    void start(PushTimer id, int ms) override { due[size_t(id)] = now + ms; }
    void stop(PushTimer id) override { due[size_t(id)].reset(); }
    void advanceTo(qint64 target)
    {
        const auto earlier = [](const auto &a, const auto &b) { return a && (!b || *a < *b); };
        for (auto next = std::min_element(due.begin(), due.end(), earlier); *next && **next <= target;
             next = std::min_element(due.begin(), due.end(), earlier)) {
            now = **next;
            next->reset();
            trace << "~ " + at(now);
            watch->timerFired(PushTimer(next - due.begin()));
        }
        now = target;
    }
};

QString run(const Row &row)
{
    Rig rig;
    PushWatch watch(rig, rig, "Work", {[&] { rig.trace << "= check"; }, [&] { rig.trace << "= no idle"; },
                                       [&](const QByteArray &line) { if (row.showLog) rig.trace << "L " + shown(line); }});
    rig.watch = &watch;
    rig.showLog = row.showLog;
    qsizetype asked = 0;
    const auto login = [&](PushWatch::LoginAnswer answer) {
        answer(row.logins.mid(asked++, 1) == "n" ? std::nullopt : std::optional<ImapLogin>(ImapLogin{"u", "p"}));
    };
    watch.start(login, ImapJob{}, "mail.example", 143, row.mode, {});
    for (const QByteArray &step : row.steps.split('\n')) {
        if (step.startsWith("S ") || step.startsWith("! ") || step.startsWith("@ "))
            rig.trace << QString::fromUtf8(step);
        if (step.startsWith("S "))
            watch.received(rig.last, QByteArray(step.mid(2)).replace("⏎", "\r\n") + "\r\n");
        else if (step == "! closed")
            watch.closed(rig.last);
        else if (step == "! failed")
            watch.failed(rig.last, 10054);
        else if (step == "! encrypted")
            watch.encrypted(rig.last);
        else if (step == "! stop")
            watch.stop();
        else if (step == "! reopen")
            watch.reopen();
        else if (const QList<QByteArray> time = step.mid(2).split(':'); step.startsWith("@ "))
            rig.advanceTo(time[0].toLongLong() * 60000 + qRound64(time[1].toDouble() * 1000));
    }
    return rig.trace.join('\n');
}

// Connection n, from its opening to the server's "+" to IDLE.
QByteArray idleUp(int n)
{
    return "O " + QByteArray::number(n) + " mail.example:143\nS * PREAUTH [CAPABILITY IMAP4rev1 IDLE] hi\n"
           "C A1 EXAMINE \"INBOX\"\nS A1 OK done\nC A2 IDLE\nS + idling\n";
}

// Connection 1 idles and gets BYE; the next login is missing, nine connections fail, each
// after twice the wait (at most 5 minutes); the eleventh idles, and after its BYE 1 s again.
QByteArray backoff()
{
    QByteArray steps = idleUp(1) + "S * BYE Server shutting down\nX 1\n";
    qint64 t = 0;
    int n = 1;
    for (const int seconds : {1, 2, 4, 8, 16, 32, 64, 128, 256, 300, 300}) {
        t += seconds * 1000;
        steps += "@ " + at(t) + "\n~ " + at(t) + '\n';
        const QByteArray id = QByteArray::number(++n);
        if (seconds > 1)
            steps += n < 11 ? "O " + id + " mail.example:143\n" + (n % 2 ? "! failed" : "! closed") + "\nX " + id + '\n'
                            : idleUp(n);
        n -= seconds == 1;
    }
    return steps + "S * BYE again\nX 11\n@ " + at(t + 999) + "\n@ " + at(t + 1000) + "\n~ " + at(t + 1000)
           + "\nO 12 mail.example:143";
}

class PushWatchTest : public ::testing::TestWithParam<Row> {};

TEST_P(PushWatchTest, Life)
{
    EXPECT_EQ(run(GetParam()).toStdString(), GetParam().steps.toStdString());
}

INSTANTIATE_TEST_SUITE_P(Rows, PushWatchTest, ::testing::ValuesIn(std::vector<Row>{
{"burst_gives_one_check_and_news_held_one_more", idleUp(1) + R"(S * 1 EXISTS
S * 2 EXISTS⏎* 1 RECENT
@ 0:00.499
S * 3 EXISTS
@ 0:00.500
~ 0:00.500
= check
@ 0:01.000
S * 1 EXPUNGE
@ 0:01.500
~ 0:01.500
= check
@ 0:05.000
~ 0:02.500)"},
{"renewed_every_25_minutes", idleUp(1) + R"(@ 24:59.999
@ 25:00.000
~ 25:00.000
C DONE
S A2 OK done
C A3 IDLE
S + idling
@ 51:01.000
~ 50:00.000
C DONE
~ 51:00.000
X 1
~ 51:01.000
O 2 mail.example:143)"},
{"reopened_with_backoff_that_starts_again_once_idling", backoff(), "yn"},
{"no_idle_told_once_never_reopened", R"(O 1 mail.example:143
S * PREAUTH [CAPABILITY IMAP4rev1] hi
L [Work] * PREAUTH [CAPABILITY IMAP4rev1] hi
L [Work] A1 EXAMINE "INBOX"
S A1 OK done
L [Work] A1 OK done
= no idle
L [Work] A2 LOGOUT
! closed
X 1
@ 60:00.000)", {}, true},
{"reopened_at_once_then_stopped_for_good", idleUp(1) + R"(S * 2 EXISTS
! reopen
C DONE⏎A3 LOGOUT
X 1
O 2 mail.example:143
! stop
X 2
@ 60:00.000)"},
{"why_a_connection_went_is_logged", R"(O 1 mail.example:143
! failed
L [Work] ﾘﾓｰﾄﾎｽﾄから切断されました
X 1)", {}, true},
{"starttls_first", R"(O 1 mail.example:143 stls
S * OK [CAPABILITY IMAP4rev1 STARTTLS IDLE] hi
C A1 STARTTLS
S A1 OK go
T 1
! encrypted
C A2 CAPABILITY)", {}, false, SslMode::Stls},
}), [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace lum
