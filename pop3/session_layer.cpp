// The connection under the three sessions: opening it, sending command lines, framing the
// replies, the shared error path and the normal close.
#include "pop3/engine.h"

#include "platform/codepage.h"
#include "pop3/sock_err_msg.h"

namespace lum {

namespace {

// Blanks only, as the account dialog stores them; other whitespace stays part of the name
// and makes the lookup fail with its own message.
QString trimBlanks(const QString &s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && s[b] == QLatin1Char(' '))
        ++b;
    while (e > b && s[e - 1] == QLatin1Char(' '))
        --e;
    return s.mid(b, e - b);
}

const QByteArray passMask = "PASS ******************************\r\n";

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

void Pop3Engine::logon(SessionKind kind)
{
    kind_ = kind;
    step_ = 0;
    dropConnection();
    const QString host = trimBlanks(opt_.current.hname);
    if (host.isEmpty()) {
        // Like a failed connection: the cycle goes on with the next account, also when
        // there is no session time-out ("Timeupval" 0) to move it on.
        moveOn(QStringLiteral("相手先が指定されていません"));
        return;
    }
    conn_ += 1;
    open_ = true;
    reader_.reset();
    transport_.open(conn_, host, quint16(opt_.current.portno));
}

void Pop3Engine::subSend(const QString &command, ReplyReader::Framing framing)
{
    if (command.contains(QLatin1String("PASS")))
        appendLog(passMask);
    else
        appendLog(encodeCp932(command), "\r\n");
    if (!open_)
        return;
    reader_.expect(framing);
    transport_.send(conn_, encodeCp932(command));
}

// USER and PASS, RFC 1939 §7: the login shared by the three sessions.
void Pop3Engine::sendUser()
{
    subSend(QStringLiteral("USER ") + opt_.current.uname + QStringLiteral("\r\n"));
}

void Pop3Engine::sendPass()
{
    subSend(QStringLiteral("PASS ") + opt_.current.passw + QStringLiteral("\r\n"));
}

void Pop3Engine::subDisConn()
{
    step_ = 6;
    subSend(QStringLiteral("QUIT\r\n"));
}

void Pop3Engine::dropConnection()
{
    if (open_)
        transport_.close(conn_);
    open_ = false;
    reader_.reset();
}

void Pop3Engine::closeSession()
{
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
    restartTimeup();
    dropConnection();
    const QString message = SockErrMsg(code);
    sessionError(isNoError(message) ? SockErrMsg(wsa::connReset) : message);
}

void Pop3Engine::closed(ConnId id)
{
    if (!current(id))
        return;
    restartTimeup();
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
    restartTimeup();
    reader_.feed(bytes);
    ReplyReader::Reply reply;
    while (current(id)) {
        const ReplyReader::Result r = reader_.next(reply);
        if (r == ReplyReader::Result::NeedData)
            break;
        if (r == ReplyReader::Result::LineTooLong) {
            dropConnection();
            sessionError(QStringLiteral("ｻｰﾊﾞｰからの応答行が長すぎます"));
            break;
        }
        dispatch(reply);
    }
}

void Pop3Engine::dispatch(const ReplyReader::Reply &reply)
{
    if (!reply.positive) {
        if (kind_ == SessionKind::Delete && step_ == 8) {
            // TOP n 0 refused: the message is gone, so it is not the one to delete.
            probeAnswered(nullptr);
            return;
        }
        // The server's text after "-ERR", blank and line end included.
        sessionError(decodeCp932(QByteArrayView(reply.status).sliced(4)));
        return;
    }
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
