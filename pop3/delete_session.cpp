// The delete session: log in, then for each marked message make sure with TOP n 0 (UIDL n
// for a row without any identity) that the number still names the message the check
// listed, and only then DELE n;
// QUIT, which makes the server remove them (RFC 1939 §6, UPDATE state).
#include "pop3/engine.h"

namespace lum {

namespace {
constexpr int lastDeleSent = 7;
using dialogue::probeSent;
} // namespace

void Pop3Engine::deleteReply(const ReplyReader::Reply &reply)
{
    switch (step_) {
    case 0:
        step_ = 1;
        sendUser();
        break;
    case 1:
        // No number is carried over from another account: with no mark left (the marks
        // were cleared meanwhile) nothing is deleted.
        target_ = nextMessage(index_, 0, &Pop3Engine::marked);
        step_ = 3;
        sendPass();
        break;
    case 3:
        if (target_ == 0) {
            subDisConn();
            break;
        }
        probeTarget();
        break;
    case probeSent:
        // TOP n 0 refused: the message is gone, so it is not the one to delete.
        probeAnswered(reply.positive && stillSameMessage(reply.block, target_));
        break;
    case dialogue::uidlProbeSent:
        probeAnswered(uidlConfirmed(reply));
        break;
    case lastDeleSent:
        subDisConn();
        break;
    case 6:
        closeSession();
        break;
    default:
        subSend(QStringLiteral("NOOP\r\n"));
        break;
    }
}

// A message is confirmed by the header TOP n 0 brings; one without any identity that the
// check listed with its unique id, by "UIDL n".
void Pop3Engine::probeTarget()
{
    if (confirmsByUidl(target_)) {
        sendUidlProbe();
        return;
    }
    step_ = probeSent;
    subSend(QStringLiteral("TOP %1 0\r\n").arg(target_), ReplyReader::Framing::MultiLine);
}

void Pop3Engine::probeAnswered(bool sameMessage)
{
    const int next = nextMessage(index_, target_, &Pop3Engine::marked);
    if (sameMessage) {
        const QString dele = QStringLiteral("DELE %1\r\n").arg(target_);
        if (next) {
            target_ = next;
            step_ = 3;
        } else {
            step_ = lastDeleSent;
        }
        subSend(dele);
        return;
    }
    ShowMsg(notConfirmed(target_, QStringLiteral("削除しませんでした")));
    if (next) {
        target_ = next;
        probeTarget();
    } else {
        subDisConn();
    }
}

} // namespace lum
