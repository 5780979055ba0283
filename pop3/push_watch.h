#pragma once
// The push of one IMAP account: a connection of its own that idles on the account's mailbox
// (RFC 2177) and asks for the account's check when the server tells of a change. Sans-IO
// like the engine: a Transport of its own carries the bytes, time comes in through
// timerFired(), and the login is asked for each time a connection opens.
//
// - News (EXISTS, EXPUNGE, FETCH) after a quiet spell asks for the check 0.1 s later. For a
//   second after that, news is held: it asks for one more check when the second is over,
//   so that nothing that came while the check ran is missed.
// - IDLE is renewed every 25 minutes: servers drop a client that has been idle for 30.
//   A server that has not got as far as idling a minute after the connection was opened or
//   the renewal was sent is taken for gone (a connection dead after a suspend looks alive).
// - A connection that drops, gets BYE, an error or a refused TLS handshake is opened again
//   after 1 s, 2 s, 4 s, ... up to 5 minutes; once the session idles again the back-off
//   starts again at 1 s, and the account is checked as on news: mail may have come while
//   the connection was away. The same when no login could be had. Why it went is logged.
// - A server that does not list IDLE is told once (noIdle) and never opened again: the
//   interval check covers the account.

#include "imap/imap_session.h"
#include "pop3/ports.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace lum {

// Check: the news's check, then its hold. Renew: the renewal while idling, else the time the
// server has to get the session idling. Reopen: the back-off.
enum class PushTimer { Check, Renew, Reopen };

// One-shot timers of a PushWatch; the owner calls PushWatch::timerFired when one runs out.
class PushTimers {
public:
    virtual ~PushTimers() = default;
    // Starts id to run out once after ms, restarting it when it runs.
    virtual void start(PushTimer id, int ms) = 0;
    virtual void stop(PushTimer id) = 0;
};

class PushWatch : public TransportEvents, private ImapSessionHost {
public:
    // Answers a request for the login, at once or later; nullopt when there is none (the
    // keyring locked, no token): the connection is tried again after the back-off.
    using LoginAnswer = std::function<void(std::optional<ImapLogin>)>;
    using LoginSource = std::function<void(LoginAnswer)>;

    struct Hooks {
        std::function<void()> check;  // the account's check
        std::function<void()> noIdle; // the server does not list IDLE (once)
        // A protocol log line, CR LF at its end, "[account] " in front; the login masked.
        std::function<void(const QByteArray &)> log;
    };

    static constexpr int checkDelayMs = 100;
    static constexpr int holdMs = 1000;
    static constexpr int renewMs = 25 * 60 * 1000;
    static constexpr int answerMs = 60 * 1000;
    static constexpr int firstBackoffMs = 1000;
    static constexpr int lastBackoffMs = 5 * 60 * 1000;

    // account names the account in the log. transport and timers outlive the watch, which
    // stops (DONE, LOGOUT, close) when it is destroyed.
    PushWatch(Transport &transport, PushTimers &timers, const QString &account, Hooks hooks);
    ~PushWatch() override;

    // Opens the first connection: TLS from the start for SslMode::Tls, STARTTLS for
    // SslMode::Stls (job.startTls follows the mode), plain otherwise. job.task is Idle.
    void start(LoginSource login, ImapJob job, const QString &host, quint16 port, SslMode mode,
               const QByteArray &pin);
    // DONE and LOGOUT, the connection closed; nothing is opened again.
    void stop();
    // The machine woke or the network came back: the connection may be dead without
    // knowing it. It is closed and opened again now, the back-off started again.
    void reopen();
    void timerFired(PushTimer id);
    bool isIdling() const { return idling_; }

    // TransportEvents, for the watch's own transport. The hooks are called from within
    // these and timerFired(): they may call stop() or reopen(), not destroy the watch.
    void connected(ConnId id) override;
    void received(ConnId id, QByteArrayView bytes) override;
    void closed(ConnId id) override;
    void failed(ConnId id, qint32 code) override;
    void encrypted(ConnId id) override;
    void tlsFailed(ConnId id, TlsError reason, const QByteArray &fingerprint) override;

private:
    enum class News { Quiet, Waiting, Holding };

    // ImapSessionHost: the push uses only these.
    void send(const QByteArray &bytes, const QByteArray &logged) override;
    void logResponse(const QByteArray &raw) override;
    void startTls() override;
    void idling() override;
    void news() override;
    void noIdle() override;
    void finished(const QString &error) override;
    // ... and not the check's, the retrieve's or the delete's.
    std::vector<quint32> listed(quint32, const std::vector<quint32> &) override { return {}; }
    void headerFetched(quint32, qint64, const QByteArray &) override {}
    void messageFetched(quint32, const QByteArray &) override {}
    void messageGone(quint32) override {}
    void deleted(const std::vector<quint32> &, bool) override {}
    void mailboxChanged() override {}
    void tokenRefused(const QString &) override {}

    void open();
    void loginArrived(quint64 attempt, std::optional<ImapLogin> login);
    bool current(ConnId id) const;
    template <typename Call> void toSession(Call call);
    // why: the failure's message for the log, empty when nothing failed.
    void drop(const QString &why = {});
    void renewOrGiveUp();
    void log(const QByteArray &bytes);
    void checkTimer();

    Transport &transport_;
    PushTimers &timers_;
    QByteArray prefix_;
    Hooks hooks_;
    LoginSource login_;
    ImapJob job_;
    QString host_;
    quint16 port_ = 0;
    SslMode mode_ = SslMode::None;
    QByteArray pin_;
    std::unique_ptr<ImapSession> session_;
    std::unique_ptr<ImapSession> spent_; // dropped from within one of its own calls
    QString sessionError_;
    ConnId conn_ = 0;     // the open connection, 0 when none
    ConnId lastConn_ = 0;
    quint64 attempt_ = 0; // login requests: a late answer to an old one is dropped
    bool running_ = false;
    bool idling_ = false;
    bool handshaking_ = false; // STARTTLS: the handshake on its way
    bool serverNoIdle_ = false;
    bool lost_ = false; // a connection went while the watch ran: news may have been missed
    int backoffMs_ = firstBackoffMs;
    News news_ = News::Quiet;
    bool heldNews_ = false;
    std::shared_ptr<int> life_ = std::make_shared<int>(); // for answers after the watch has gone
};

} // namespace lum
