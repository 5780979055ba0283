// The retrieve session: log in, RETR n for each marked message whose text is not here yet,
// QUIT.
#include "pop3/engine.h"

#include "decode/summary.h"
#include "platform/codepage.h"

namespace lum {

namespace {
constexpr int retrSent = 5;
}

// The header block of a reply: from its start up to the first empty line.
static QByteArray headerPart(const QByteArray &block)
{
    const qsizetype end = block.indexOf("\r\n\r\n");
    return end < 0 ? block : block.first(end + 4);
}

bool Pop3Engine::stillSameMessage(const QByteArray &block, int message) const
{
    const MailRecord *r = table_.record(index_, message);
    return r && messageIdentity(headerPart(block)) == r->identity;
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
        subSend(QStringLiteral("RETR %1\r\n").arg(target_), ReplyReader::Framing::MultiLine);
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
        subListSet2(block, table_, index_, target_);
    } else {
        // Another client changed the mailbox since the check: this number now names a
        // different message, whose text must not be filed under the listed header.
        ShowMsg(QStringLiteral("ﾒｰﾙﾎﾞｯｸｽが変更されたため、%1 の %2 番のﾒｰﾙは取得しませんでした")
                    .arg(accountName(index_))
                    .arg(target_));
    }
    appendLog(block, "\r\n");
    if (const int next = nextMessage(index_, target_, &Pop3Engine::wanted)) {
        target_ = next;
        subSend(QStringLiteral("RETR %1\r\n").arg(target_), ReplyReader::Framing::MultiLine);
    } else {
        subDisConn();
    }
}

} // namespace lum
