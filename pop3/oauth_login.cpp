// Signing in with an OAuth 2.0 access token: the token is asked for before the connection
// opens, and AUTH takes the place of USER and PASS in every session.
#include "pop3/engine.h"

#include "platform/codepage.h"

#include <utility>

namespace lum {

void Pop3Engine::requestToken(bool renew)
{
    // The token endpoint is the provider's to answer: no time limit of the session meanwhile.
    timers_.stop(TimerId::Timeup);
    awaitedToken_ = ++passwordRequests_;
    tokens_->requestToken(awaitedToken_, account_.oauth, oauthKeyringKey(account_.hname, port_, account_.uname),
                          renew);
}

void Pop3Engine::tokenArrived(quint64 request, const std::optional<QString> &token, const QString &reason,
                              bool signInNeeded)
{
    if (request == 0 || request != awaitedToken_)
        return;
    awaitedToken_ = 0;
    if (!token) {
        moveOn(signInNeeded ? this->signInNeeded()
                            : QStringLiteral("アクセストークンを取得できません (") + account_.aname
                                  + QStringLiteral("): ") + reason);
        return;
    }
    if (token->isEmpty() || token->contains(u'\r') || token->contains(u'\n') || token->contains(u'\x01')) {
        moveOn(QStringLiteral("アクセストークンを取得できません (") + account_.aname
               + QStringLiteral("): 使えない文字が含まれています"));
        return;
    }
    account_.passw = *token; // held for this session only, as a password is
    timeoutCount_ = 1;
    restartTimeup();
    openConnection();
}

QString Pop3Engine::signInNeeded() const
{
    return QStringLiteral("サインインが必要です (") + account_.aname + u')';
}

// In place of USER: the session's step stays as USER would have left it, so that the
// answer to AUTH is taken as the answers to USER and PASS together.
void Pop3Engine::sendAuth()
{
    mechanism_ = chooseMechanism(caps_);
    const int step = step_;
    const AuthCommand auth = authCommand(
        mechanism_, initialResponse(mechanism_, account_.uname, host_, port_, account_.passw));
    subSend(QString::fromLatin1(auth.line), ReplyReader::Framing::Sasl);
    authResponse_ = auth.response;
    step_ = dialogue::authSent;
    afterAuth_ = step;
}

void Pop3Engine::authAnswered(const ReplyReader::Reply &reply)
{
    if (reply.challenge) {
        appendLog(reply.status);
        // Before the response the server's "+ " asks for it; after it, the token was refused
        // and the mechanism wants an answer before its "-ERR".
        const QByteArray answer =
            authResponse_.isEmpty() ? challengeAnswer(mechanism_) : std::exchange(authResponse_, {});
        subSend(QString::fromLatin1(answer), ReplyReader::Framing::Sasl);
        return;
    }
    if (!reply.positive) {
        authRefused(reply);
        return;
    }
    step_ = afterAuth_;
    sessionStep(reply); // as the answer to USER: PASS is not sent
    if (step_ == 3)
        sessionStep(reply); // as the answer to PASS
}

// A mailbox in use, a server busy or a login too soon says nothing of the token: the
// server's own words, as for a refused PASS, and no new token.
void Pop3Engine::authRefused(const ReplyReader::Reply &reply)
{
    if (refusalMayBeTheToken(reply.status))
        tokenRefused();
    else
        sessionError(refusalText(reply));
}

// The first refusal may be an access token revoked before its time: a new one is asked for
// and tried on a new connection. A second refusal needs the user.
void Pop3Engine::tokenRefused()
{
    if (tokenRenewed_) {
        sessionError(signInNeeded());
        return;
    }
    tokenRenewed_ = true;
    subDisConn();
    dropConnection();
    requestToken(true);
}

} // namespace lum
