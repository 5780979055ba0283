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

QString Pop3Engine::notConfirmed(int message, const QString &outcome) const
{
    const MailRecord *r = table_.record(index_, message);
    const QString why = r && r->identity.isEmpty() ? QStringLiteral("ﾒｰﾙを識別できないため")
                                                   : QStringLiteral("ﾒｰﾙﾎﾞｯｸｽが変更されたため");
    return QStringLiteral("%1、%2 の %3 番のﾒｰﾙは%4").arg(why, accountName(index_), QString::number(message), outcome);
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
        if (target_ == 0) {
            subDisConn();
            break;
        }
        step_ = retrSent;
        sendRetr();
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
    if (stillSameMessage(block, target_)) {
        subListSet2(block, table_, index_, target_,
                    opt_.modernDecoding ? Decoding::Modern : Decoding::Classic);
    } else {
        // Another client changed the mailbox since the check: this number now names a
        // different message, whose text must not be filed under the listed header.
        ShowMsg(notConfirmed(target_, QStringLiteral("取得しませんでした")));
    }
    appendLog(block, "\r\n");
    if (const int next = nextMessage(index_, target_, &Pop3Engine::wanted)) {
        target_ = next;
        sendRetr();
    } else {
        subDisConn();
    }
}

} // namespace lum
