#include "pop3/push_watch.h"

#include "pop3/sock_err_msg.h"

#include <algorithm>
#include <utility>

namespace lum {

PushWatch::PushWatch(Transport &transport, PushTimers &timers, const QString &account, Hooks hooks)
    : transport_(transport), timers_(timers), prefix_('[' + account.toUtf8() + "] "), hooks_(std::move(hooks))
{
}

PushWatch::~PushWatch()
{
    stop();
}

void PushWatch::start(LoginSource login, ImapJob job, const QString &host, quint16 port, SslMode mode,
                      const QByteArray &pin)
{
    stop();
    login_ = std::move(login);
    job_ = std::move(job);
    job_.task = ImapTask::Idle;
    job_.startTls = mode == SslMode::Stls;
    host_ = host;
    port_ = port;
    mode_ = mode;
    pin_ = pin;
    running_ = true;
    serverNoIdle_ = false;
    lost_ = false;
    backoffMs_ = firstBackoffMs;
    open();
}

void PushWatch::stop()
{
    if (!running_)
        return;
    running_ = false;
    ++attempt_;
    for (const PushTimer id : {PushTimer::Check, PushTimer::Renew, PushTimer::Reopen})
        timers_.stop(id);
    news_ = News::Quiet;
    if (session_)
        session_->stop(); // may end the session at once: it is dropped below either way
    drop();
}

void PushWatch::reopen()
{
    if (!running_ || serverNoIdle_)
        return;
    if (session_)
        session_->stop();
    drop();
    lost_ = false; // whoever reopens checks every account
    timers_.stop(PushTimer::Reopen);
    backoffMs_ = firstBackoffMs;
    open();
}

// The login first: the keyring or the token broker may take their time.
void PushWatch::open()
{
    const quint64 attempt = ++attempt_;
    const std::weak_ptr<int> alive = life_;
    login_([this, alive, attempt](std::optional<ImapLogin> login) {
        if (!alive.expired())
            loginArrived(attempt, std::move(login));
    });
}

void PushWatch::loginArrived(quint64 attempt, std::optional<ImapLogin> login)
{
    if (!running_ || attempt != attempt_ || conn_ != 0)
        return;
    if (!login) {
        drop();
        return;
    }
    conn_ = ++lastConn_;
    timers_.start(PushTimer::Renew, answerMs);
    session_ = std::make_unique<ImapSession>(static_cast<ImapSessionHost &>(*this), std::move(*login), job_);
    switch (mode_) {
    case SslMode::Tls:
        transport_.openTls(conn_, host_, port_, pin_);
        break;
    case SslMode::Stls:
        transport_.openForStartTls(conn_, host_, port_);
        break;
    case SslMode::None:
        transport_.open(conn_, host_, port_);
        break;
    }
}

bool PushWatch::current(ConnId id) const
{
    return running_ && conn_ != 0 && id == conn_ && session_;
}

// The session is never destroyed from within its own calls (a hook may stop the watch):
// only once they have returned.
template <typename Call> void PushWatch::toSession(Call call)
{
    call();
    if (session_ && session_->over())
        drop(sessionError_);
    spent_.reset();
}

// The connection goes; while the watch runs and the server can idle, another is opened
// after the back-off.
void PushWatch::drop(const QString &why)
{
    if (!why.isEmpty())
        log(why.toUtf8());
    if (session_ && !session_->over())
        session_->closed(); // ends it: nothing more of it reaches the transport
    if (conn_ != 0)
        transport_.close(conn_);
    conn_ = 0;
    spent_ = std::move(session_);
    idling_ = false;
    handshaking_ = false;
    timers_.stop(PushTimer::Renew);
    if (!running_ || serverNoIdle_)
        return;
    lost_ = true;
    timers_.start(PushTimer::Reopen, backoffMs_);
    backoffMs_ = std::min(backoffMs_ * 2, lastBackoffMs);
}

void PushWatch::timerFired(PushTimer id)
{
    switch (id) {
    case PushTimer::Check:
        checkTimer();
        break;
    case PushTimer::Renew:
        renewOrGiveUp();
        break;
    case PushTimer::Reopen:
        if (running_ && conn_ == 0)
            open();
        break;
    }
}

void PushWatch::renewOrGiveUp()
{
    if (!session_)
        return;
    if (!std::exchange(idling_, false)) {
        drop(QStringLiteral("ｻｰﾊﾞｰから時間内に応答がありませんでした"));
        return;
    }
    timers_.start(PushTimer::Renew, answerMs);
    toSession([this] { session_->renew(); });
}

// Waiting: the check is asked for 0.1 s after the first news. Holding: news in the second
// after it is held, and asks for one more check when the second is over.
void PushWatch::checkTimer()
{
    if (news_ == News::Quiet || (news_ == News::Holding && !heldNews_)) {
        news_ = News::Quiet;
        return;
    }
    news_ = News::Holding;
    heldNews_ = false;
    timers_.start(PushTimer::Check, holdMs);
    if (hooks_.check)
        hooks_.check();
}

void PushWatch::connected(ConnId)
{
    // The greeting (or for TLS from the start the handshake) comes next.
}

void PushWatch::received(ConnId id, QByteArrayView bytes)
{
    if (current(id))
        toSession([&] { session_->received(bytes); });
}

void PushWatch::closed(ConnId id)
{
    if (current(id))
        toSession([this] { session_->closed(); });
}

void PushWatch::failed(ConnId id, qint32 code)
{
    if (current(id))
        drop(SockErrMsg(code));
}

void PushWatch::encrypted(ConnId id)
{
    if (current(id) && std::exchange(handshaking_, false))
        toSession([this] { session_->encrypted(); });
}

void PushWatch::tlsFailed(ConnId id, TlsError reason, const QByteArray &)
{
    if (current(id))
        drop(TlsErrMsg(reason));
}

void PushWatch::send(const QByteArray &bytes, const QByteArray &logged)
{
    log(logged);
    transport_.send(conn_, bytes);
}

void PushWatch::logResponse(const QByteArray &raw)
{
    log(raw);
}

void PushWatch::startTls()
{
    handshaking_ = true;
    transport_.startTls(conn_, pin_);
}

void PushWatch::idling()
{
    idling_ = true;
    backoffMs_ = firstBackoffMs;
    timers_.start(PushTimer::Renew, renewMs);
    if (std::exchange(lost_, false))
        news();
}

void PushWatch::news()
{
    switch (news_) {
    case News::Quiet:
        news_ = News::Waiting;
        timers_.start(PushTimer::Check, checkDelayMs);
        break;
    case News::Waiting:
        break;
    case News::Holding:
        heldNews_ = true;
        break;
    }
}

void PushWatch::noIdle()
{
    serverNoIdle_ = true;
    if (hooks_.noIdle)
        hooks_.noIdle();
}

// The session is dropped by toSession() once its call has returned.
void PushWatch::finished(const QString &error)
{
    sessionError_ = error;
}

// Every line of the log gets the account's name: several accounts may idle at once.
void PushWatch::log(const QByteArray &bytes)
{
    if (!hooks_.log)
        return;
    for (qsizetype from = 0; from < bytes.size();) {
        const qsizetype newline = bytes.indexOf('\n', from);
        const qsizetype end = newline < 0 ? bytes.size() : newline + 1;
        QByteArray line = prefix_ + bytes.sliced(from, end - from);
        if (newline < 0)
            line += "\r\n";
        hooks_.log(line);
        from = end;
    }
}

} // namespace lum
