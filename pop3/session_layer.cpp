// The connection under the three sessions: opening it, sending command lines, framing the
// replies, the shared error path and the normal close.
#include "pop3/engine.h"
#include "pop3/imap_link.h"

#include "platform/codepage.h"
#include "pop3/sock_err_msg.h"
#include "settings/setting_keys.h"

namespace lum {

namespace {

bool breaksCommandLine(const QString &s)
{
    for (const QChar c : s) {
        if (c == u'\r' || c == u'\n' || c == u'\0')
            return true;
    }
    return false;
}

const QByteArray passMask = "PASS ******************************\r\n";
const QByteArray authMask = " ******************************\r\n";

} // namespace

Pop3Engine::Pop3Engine(Options &options, const SettingsStore &store, MailTable &table,
                       Transport &transport, Timers &timers, EngineView &view)
    : opt_(options), store_(store), table_(table), transport_(transport), timers_(timers),
      view_(view)
{
}

void Pop3Engine::ShowMsg(const QString &text)
{
    if (reportAll_ || !opt_.suppressErrors)
        view_.showMsg(text);
}

void Pop3Engine::appendLog(QByteArrayView bytes, QByteArrayView tail)
{
    if (!opt_.keepLog)
        return;
    log_.append(bytes);
    log_.append(tail);
}

// Why the current account can't be visited, or empty when it can. Checked before anything
// is opened, so that a bad record never gets a connection, let alone the credentials.
QString Pop3Engine::accountProblem(quint16 &port, SslMode &mode) const
{
    if (!storedProtocol(store_, index_))
        return protocolProblem(store_.readSetting(numbered(key::protocol, index_), QString()));
    const std::optional<SslMode> m = storedSslMode(store_, index_);
    if (!m) {
        return QStringLiteral("暗号化の設定が正しくありません:")
            + store_.readSetting(numbered(key::sslmode, index_), QString());
    }
    mode = *m;
    if (!storedAuthMode(store_, index_)) {
        return QStringLiteral("認証方式の設定が正しくありません:")
            + store_.readSetting(numbered(key::authmode, index_), QString());
    }
    if (!storedPasswordStore(store_, index_)) {
        return QStringLiteral("ﾊﾟｽﾜｰﾄﾞの保存先の設定が正しくありません:")
            + store_.readSetting(numbered(key::pwstore, index_), QString());
    }
    const std::optional<quint16> p = storedPort(store_, index_);
    if (!p) {
        return QStringLiteral("ﾎﾟｰﾄ番号が正しくありません:")
            + store_.readSetting(numbered(key::portno, index_), QString());
    }
    port = *p;
    // A bearer token is as good as a password to whoever reads it (RFC 6750 §5.3).
    if (mode == SslMode::None && storedAuthMode(store_, index_) == AuthMode::OAuth)
        return oauthNeedsEncryption(account_.aname);
    // A line break would end the command early and let the rest reach the server as a
    // command of its own (RFC 1939 §3: commands are lines); NUL cuts it on many servers.
    if (breaksCommandLine(account_.uname) || breaksCommandLine(account_.passw))
        return QStringLiteral("ﾕｰｻﾞｰ名かﾊﾟｽﾜｰﾄﾞに改行などの使えない文字が含まれています");
    return {};
}

bool Pop3Engine::logon(SessionKind kind)
{
    kind_ = kind;
    step_ = 0;
    dropConnection();
    account_ = opt_.current;
    const QString host = connectionHost(account_.hname);
    if (host.isEmpty()) {
        // Unused account numbers (a hand-edited "accountno") are common: one message for
        // the cycle, not one per number.
        timers_.stop(TimerId::Timeup);
        if (!hostlessShown_)
            ShowMsg(QStringLiteral("相手先が指定されていません"));
        hostlessShown_ = true;
        return false;
    }
    quint16 port = 0;
    SslMode mode = SslMode::None;
    if (const QString problem = accountProblem(port, mode); !problem.isEmpty()) {
        timers_.stop(TimerId::Timeup);
        ShowMsg(problem);
        return false;
    }
    host_ = host;
    port_ = port;
    sslmode_ = mode;
    oauth_ = storedAuthMode(store_, index_) == AuthMode::OAuth;
    tokenRenewed_ = false;
    if (oauth_ && !tokens_) {
        timers_.stop(TimerId::Timeup);
        ShowMsg(QStringLiteral("OAuth 2.0 のサインインを使えません (") + account_.aname + u')');
        return false;
    }
    if (oauth_) {
        requestToken(false);
        return true;
    }
    if (storedPasswordStore(store_, index_) == PasswordStore::Keyring) {
        if (!passwords_) {
            timers_.stop(TimerId::Timeup);
            ShowMsg(keyringProblem(QStringLiteral("キーリングを使えません")));
            return false;
        }
        // The user may be asked to unlock the keyring: no time limit until it answers.
        timers_.stop(TimerId::Timeup);
        awaitedPassword_ = ++passwordRequests_;
        passwords_->requestPassword(awaitedPassword_, keyringKey(account_.hname, port, account_.uname));
        return true;
    }
    openConnection();
    return true;
}

QString Pop3Engine::keyringProblem(const QString &reason) const
{
    return QStringLiteral("キーリングからパスワードを読めません (") + account_.aname
        + QStringLiteral("): ") + reason;
}

void Pop3Engine::passwordArrived(quint64 request, const std::optional<QString> &password,
                                 const QString &reason)
{
    if (request == 0 || request != awaitedPassword_)
        return;
    awaitedPassword_ = 0;
    if (!password) {
        moveOn(keyringProblem(reason));
        return;
    }
    if (breaksCommandLine(*password)) {
        moveOn(QStringLiteral("ﾕｰｻﾞｰ名かﾊﾟｽﾜｰﾄﾞに改行などの使えない文字が含まれています"));
        return;
    }
    account_.passw = *password;
    timeoutCount_ = 1;
    restartTimeup();
    openConnection();
}

void Pop3Engine::openConnection()
{
    step_ = dialogue::greeting;
    conn_ += 1;
    open_ = true;
    reader_.reset();
    fast_ = opt_.fastCheck;
    decoding_ = opt_.modernDecoding ? Decoding::Modern : Decoding::Classic;
    caps_ = {};
    capaAsked_ = false;
    loginPipelined_ = false;
    uidlPipelined_ = false;
    quitQueued_ = false;
    if (account_.protocol == MailProtocol::Imap)
        openImapSession();
    if (sslmode_ == SslMode::Tls) {
        tls_ = TlsStep::Handshake;
        transport_.openTls(conn_, host_, port_, pin());
    } else {
        tls_ = TlsStep::Plain;
        if (sslmode_ == SslMode::Stls)
            transport_.openForStartTls(conn_, host_, port_);
        else
            transport_.open(conn_, host_, port_);
    }
    // The summaries a check will want are read from disk while the connection is made, not
    // once the server has listed the mailbox.
    if (kind_ == SessionKind::Check && (fast_ || imap_))
        keptSummaries();
}

void Pop3Engine::subSend(const QString &command, ReplyReader::Framing framing, qsizetype maxReply)
{
    if (!open_ || tls_ == TlsStep::Handshake || imap_)
        return; // not sent, so not logged either; nothing goes out during a handshake
    if (command.startsWith(QLatin1String("AUTH ")))
        appendLog(encodeCp932(command.section(u' ', 0, 1).trimmed()),
                  command.count(u' ') > 1 ? QByteArrayView(authMask) : QByteArrayView("\r\n"));
    else if (step_ == dialogue::authSent)
        appendLog(authMask.sliced(1)); // a SASL response: the token, or the answer to its refusal
    else if (command.contains(QLatin1String("PASS")))
        appendLog(passMask);
    else
        appendLog(encodeCp932(command), "\r\n");
    reader_.expect(framing, maxReply);
    if (holding_)
        held_ += encodeCp932(command);
    else
        transport_.send(conn_, encodeCp932(command));
}

// Commands pipelined together go out in one write, not one each.
void Pop3Engine::holdCommands()
{
    holding_ = true;
}

void Pop3Engine::sendHeld()
{
    holding_ = false;
    if (open_ && !held_.isEmpty())
        transport_.send(conn_, held_);
    held_.clear();
}

// USER and PASS, RFC 1939 §7: the login shared by the three sessions.
void Pop3Engine::sendUser()
{
    if (oauth_) {
        sendAuth();
        return;
    }
    subSend(QStringLiteral("USER ") + account_.uname + QStringLiteral("\r\n"));
}

void Pop3Engine::sendPass()
{
    if (oauth_)
        return; // AUTH did both
    subSend(QStringLiteral("PASS ") + account_.passw + QStringLiteral("\r\n"));
}

// QUIT once per connection: it may already have gone out behind the last TOP.
void Pop3Engine::subDisConn()
{
    step_ = 6;
    if (!quitQueued_)
        subSend(QStringLiteral("QUIT\r\n"));
    quitQueued_ = true;
}

// Also forgets the session's password and any password it was waiting for.
void Pop3Engine::dropConnection()
{
    if (open_)
        transport_.close(conn_);
    open_ = false;
    reader_.reset();
    holding_ = false;
    held_.clear();
    awaitedPassword_ = 0;
    awaitedToken_ = 0;
    account_.passw.clear();
    authResponse_.clear();
    if (imap_)
        retiredImap_.push_back(std::move(imap_));
}

// A link dropped while its session was calling out is deleted once that call has returned.
void Pop3Engine::forgetRetiredLinks()
{
    retiredImap_.clear();
}

// A session's end stops its time-out before anything else happens: a message shown next
// may stay open for long, and the time-out must not move the cycle on meanwhile.
void Pop3Engine::closeSession()
{
    timers_.stop(TimerId::Timeup);
    dropConnection();
    scheduleNext();
}

void Pop3Engine::sessionError(const QString &message)
{
    // The reply to this QUIT is not awaited: the connection is given up here, so that it
    // cannot be mistaken for the next account's.
    subDisConn();
    dropConnection();
    moveOn(message);
}

void Pop3Engine::moveOn(const QString &message)
{
    timers_.stop(TimerId::Timeup);
    ShowMsg(message);
    scheduleNext();
    if (kind_ != SessionKind::Check)
        setCaption(QStringLiteral("Lumora"));
}

void Pop3Engine::connected(ConnId id)
{
    if (!current(id))
        return;
    restartTimeup();
}

void Pop3Engine::failed(ConnId id, qint32 code)
{
    if (!current(id))
        return;
    dropConnection();
    const QString message = SockErrMsg(code);
    sessionError(isNoError(message) ? SockErrMsg(wsa::connReset) : message);
}

void Pop3Engine::encrypted(ConnId id)
{
    if (!current(id) || tls_ != TlsStep::Handshake)
        return;
    tls_ = TlsStep::Encrypted;
    restartTimeup();
    if (imap_) {
        if (sslmode_ == SslMode::Stls)
            imap_->session().encrypted();
        forgetRetiredLinks();
        return;
    }
    // After STLS the session goes on as after the greeting; POP3S still awaits its greeting.
    if (sslmode_ == SslMode::Stls) {
        ReplyReader::Reply greeting;
        greeting.positive = true;
        sessionReply(greeting);
    }
}

void Pop3Engine::tlsFailed(ConnId id, TlsError reason, const QByteArray &fingerprint)
{
    if (!current(id))
        return;
    dropConnection(); // not even QUIT goes out on a connection that failed its handshake
    // The fingerprint lets the user pin exactly this certificate ("Sslpin").
    sessionError(fingerprint.isEmpty() ? TlsErrMsg(reason)
                                       : TlsErrMsg(reason) + QStringLiteral(" SHA-256:")
                                             + QString::fromLatin1(fingerprint));
}

// The pinned certificate of the account, as the transport takes it.
QByteArray Pop3Engine::pin() const
{
    return account_.sslpin.toLatin1();
}

// The reply to STLS. Bytes after its +OK came before the handshake and are not from the
// server we will check (RFC 2595 §4): they end the session rather than being read.
void Pop3Engine::stlsAnswered(const ReplyReader::Reply &reply)
{
    if (!reply.positive) {
        sessionError(QStringLiteral("ｻｰﾊﾞｰが暗号化(STLS)に対応していません"));
        return;
    }
    if (reader_.bufferedBytes() > 0) {
        dropConnection();
        sessionError(TlsErrMsg(TlsError::Handshake));
        return;
    }
    tls_ = TlsStep::Handshake;
    reader_.reset();
    transport_.startTls(conn_, pin());
}

void Pop3Engine::closed(ConnId id)
{
    if (!current(id))
        return;
    if (imap_) {
        imap_->session().closed();
        forgetRetiredLinks();
        return;
    }
    if (step_ == 6) {
        // The server went away after our QUIT: the normal end without its reply.
        closeSession();
        return;
    }
    dropConnection();
    sessionError(SockErrMsg(wsa::connReset));
}

void Pop3Engine::received(ConnId id, QByteArrayView bytes)
{
    if (!current(id))
        return;
    if (tls_ == TlsStep::Handshake) {
        // Plain text where the transport should be doing TLS.
        dropConnection();
        sessionError(TlsErrMsg(TlsError::Handshake));
        return;
    }
    if (imap_) {
        ImapSession &session = imap_->session();
        session.received(bytes);
        if (session.progressed() && current(id))
            restartTimeup();
        forgetRetiredLinks();
        return;
    }
    reader_.feed(bytes);
    ReplyReader::Reply reply;
    while (current(id)) {
        const quint64 progress = reader_.progress();
        const ReplyReader::Result r = reader_.next(reply);
        if (reader_.progress() != progress)
            restartTimeup();
        if (r == ReplyReader::Result::NeedData)
            break;
        if (r == ReplyReader::Result::TooLarge) {
            if (kind_ == SessionKind::Check && !plainListing_
                && (step_ == dialogue::uidlSent || step_ == dialogue::listSent)) {
                // The lists are not needed: the check lists the mailbox without them.
                plainListing_ = true;
                logInAgain();
                break;
            }
            dropConnection();
            sessionError(QStringLiteral("ｻｰﾊﾞｰからの応答が大きすぎます"));
            break;
        }
        dispatch(reply);
    }
}

void Pop3Engine::dispatch(const ReplyReader::Reply &reply)
{
    if (tls_ == TlsStep::StlsSent) {
        stlsAnswered(reply);
        return;
    }
    if (!reply.positive && !refusalIsAnAnswer()) {
        sessionError(refusalText(reply));
        return;
    }
    if (sslmode_ == SslMode::Stls && tls_ == TlsStep::Plain) {
        // The greeting: encryption first, then the login (STLS, RFC 2595 §4).
        tls_ = TlsStep::StlsSent;
        subSend(QStringLiteral("STLS\r\n"));
        return;
    }
    sessionReply(reply);
}

// The server's text after "-ERR", blank and line end included; a bare "-ERR" still says
// what happened.
QString Pop3Engine::refusalText(const ReplyReader::Reply &reply)
{
    const QString text = decodeCp932(QByteArrayView(reply.status).sliced(4));
    return text.trimmed().isEmpty() ? QStringLiteral("ｻｰﾊﾞｰに拒否されました") : text;
}

// Replies whose "-ERR" is news rather than a failure: no capabilities, no unique ids, a
// message that is gone.
bool Pop3Engine::refusalIsAnAnswer() const
{
    switch (step_) {
    case dialogue::capaSent:
    case dialogue::authSent:
    case dialogue::uidlSent:
    case dialogue::listSent:
    case dialogue::uidlProbeSent:
        return true;
    case dialogue::probeSent:
        return kind_ == SessionKind::Delete;
    default:
        return false;
    }
}

void Pop3Engine::sessionReply(const ReplyReader::Reply &reply)
{
    // After the greeting (over TLS, once encrypted: what a server says before TLS is not
    // trusted, RFC 2595 §4) the server is asked what it can do; then the session logs in.
    // OAuth needs the SASL mechanisms, fast check or not.
    if (step_ == dialogue::greeting && (fast_ || oauth_) && !capaAsked_) {
        capaAsked_ = true;
        step_ = dialogue::capaSent;
        // A check of a server that took pipelined commands last time sends USER and PASS
        // with CAPA rather than a round trip after it.
        const Capabilities last = lastCapabilities();
        const bool withLogin = kind_ == SessionKind::Check && fast_ && !oauth_ && !lockstep_ && last.pipelining;
        holdCommands();
        subSend(QStringLiteral("CAPA\r\n"), ReplyReader::Framing::MultiLine);
        if (withLogin)
            sendLoginBatch();
        sendHeld();
        return;
    }
    if (step_ == dialogue::capaSent) {
        appendLog(reply.block, "\r\n");
        caps_ = parseCapabilities(reply.block);
        // A server that swallowed pipelined commands is not sent them again soon.
        if (lockstep_)
            caps_.pipelining = false;
        rememberCapabilities(caps_);
        if (loginPipelined_) {
            step_ = 1; // the login's replies follow
            return;
        }
        step_ = dialogue::greeting;
    }
    if (step_ == dialogue::authSent) {
        authAnswered(reply);
        return;
    }
    sessionStep(reply);
}

void Pop3Engine::sessionStep(const ReplyReader::Reply &reply)
{
    switch (kind_) {
    case SessionKind::Check:
        checkReply(reply);
        break;
    case SessionKind::Retrieve:
        retrieveReply(reply);
        break;
    case SessionKind::Delete:
        deleteReply(reply);
        break;
    }
}

} // namespace lum
