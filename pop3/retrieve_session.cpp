// The retrieve session: log in, RETR n for each marked message whose text is not here yet,
// QUIT.
#include "pop3/engine.h"

#include "decode/summary.h"
#include "platform/codepage.h"

namespace lum {

namespace {
constexpr int retrSent = 5;
}

// The header block of a reply: from its start up to the first empty line, with NUL taken
// as the check session takes it, so that both sides read the same identity.
static QByteArray headerPart(QByteArray block)
{
    replaceNul(block);
    const qsizetype end = block.indexOf("\r\n\r\n");
    if (end >= 0)
        block.truncate(end + 4);
    return block;
}

// A record whose identity was never read (its TOP failed, or its header names none of the
// fields) can't be confirmed: comparing two empty identities would match any message.
bool Pop3Engine::stillSameMessage(const QByteArray &block, int message) const
{
    const MailRecord *r = table_.record(index_, message);
    return r && !r->identity.isEmpty() && messageIdentity(headerPart(block)) == r->identity;
}

// Servers may give a unique id to another message once its own is gone: an id decides only
// for a row without any identity, which its header could not confirm.
bool Pop3Engine::confirmsByUidl(int message) const
{
    const MailRecord *r = table_.record(index_, message);
    return fast_ && caps_.uidl && r && !r->uidl.isEmpty() && r->identity.isEmpty();
}

void Pop3Engine::sendUidlProbe()
{
    step_ = dialogue::uidlProbeSent;
    subSend(QStringLiteral("UIDL %1\r\n").arg(target_));
}

// "+OK n id" with the id the check listed for the message: exactly that message.
bool Pop3Engine::uidlConfirmed(const ReplyReader::Reply &reply) const
{
    const MailRecord *r = table_.record(index_, target_);
    const std::optional<UniqueId> id = reply.positive ? parseUidlLine(reply.status) : std::nullopt;
    return r && id && id->message == target_ && id->uidl == r->uidl;
}

QString Pop3Engine::notConfirmed(int message, const QString &outcome) const
{
    const MailRecord *r = table_.record(index_, message);
    const bool unknown = r && r->identity.isEmpty() && r->uidl.isEmpty();
    const QString why = unknown ? QStringLiteral("ﾒｰﾙを識別できないため")
                                : QStringLiteral("ﾒｰﾙﾎﾞｯｸｽが変更されたため");
    return QStringLiteral("%1、%2 の %3 番のﾒｰﾙは%4").arg(why, accountName(index_), QString::number(message), outcome);
}

// A message is confirmed by the header of what RETR brings; one without any identity that
// the check listed with its unique id, by "UIDL n" before RETR.
void Pop3Engine::retrieveTarget()
{
    if (target_ == 0) {
        subDisConn();
    } else if (confirmsByUidl(target_)) {
        sendUidlProbe();
    } else {
        byUidl_ = false;
        step_ = retrSent;
        sendRetr();
    }
}

void Pop3Engine::sendRetr()
{
    subSend(QStringLiteral("RETR %1\r\n").arg(target_), ReplyReader::Framing::MultiLine,
            ReplyReader::maxMessageReply);
}

void Pop3Engine::retrieveReply(const ReplyReader::Reply &reply)
{
    switch (step_) {
    case 0:
        target_ = nextMessage(index_, 0, &Pop3Engine::wanted);
        step_ = 1;
        sendUser();
        break;
    case 1:
        step_ = 3;
        sendPass();
        break;
    case 3:
        retrieveTarget();
        break;
    case dialogue::uidlProbeSent:
        if (uidlConfirmed(reply)) {
            byUidl_ = true;
            step_ = retrSent;
            sendRetr();
            break;
        }
        ShowMsg(notConfirmed(target_, QStringLiteral("取得しませんでした")));
        target_ = nextMessage(index_, target_, &Pop3Engine::wanted);
        retrieveTarget();
        break;
    case retrSent:
        retrCollected(reply.block);
        break;
    case 6:
        closeSession();
        break;
    default:
        subSend(QStringLiteral("NOOP\r\n"));
        break;
    }
}

void Pop3Engine::retrCollected(QByteArray block)
{
    replaceNul(block);
    if (byUidl_ || stillSameMessage(block, target_)) {
        subListSet2(block, table_, index_, target_,
                    opt_.modernDecoding ? Decoding::Modern : Decoding::Classic);
    } else {
        // Another client changed the mailbox since the check: this number now names a
        // different message, whose text must not be filed under the listed header.
        ShowMsg(notConfirmed(target_, QStringLiteral("取得しませんでした")));
    }
    appendLog(block, "\r\n");
    target_ = nextMessage(index_, target_, &Pop3Engine::wanted);
    retrieveTarget();
}

} // namespace lum
