// The check session: log in, STAT, the rows of a changed mailbox (check_headers.cpp), QUIT.
#include "pop3/engine.h"

#include "platform/codepage.h"

#include <limits>
#include <optional>

namespace lum {

namespace {

std::optional<qint64> decimal(QByteArrayView digits, qint64 max)
{
    if (digits.isEmpty() || digits.size() > 18)
        return std::nullopt;
    qint64 v = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        v = v * 10 + (c - '0');
    }
    if (v > max)
        return std::nullopt;
    return v;
}

struct Stat {
    qint32 count;
    qint64 size;
};

// "+OK count size" (RFC 1939 §5 STAT; anything after the size is allowed and ignored).
std::optional<Stat> parseStat(QByteArrayView line)
{
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    qsizetype blank = line.indexOf(' ');
    if (blank < 0)
        return std::nullopt;
    line = line.sliced(blank + 1);
    blank = line.indexOf(' ');
    if (blank < 0)
        return std::nullopt;
    QByteArrayView size = line.sliced(blank + 1);
    const qsizetype end = size.indexOf(' ');
    if (end >= 0)
        size = size.first(end);
    const auto c = decimal(line.first(blank), std::numeric_limits<qint32>::max());
    const auto s = decimal(size, std::numeric_limits<qint64>::max());
    if (!c || !s)
        return std::nullopt;
    return Stat{qint32(*c), *s};
}

} // namespace

qint32 saturatingAdd(qint32 a, qint32 b)
{
    const qint64 sum = qint64(a) + qint64(b);
    return qint32(std::min(sum, qint64(std::numeric_limits<qint32>::max())));
}

void Pop3Engine::checkReply(const ReplyReader::Reply &reply)
{
    switch (step_) {
    case 0:
        step_ = 1;
        // A server that takes pipelined commands gets USER and PASS in one write.
        if (pipelining() && !oauth_) {
            holdCommands();
            sendLoginBatch();
            sendHeld();
        } else {
            sendUser();
        }
        break;
    case 1:
        step_ = 3;
        if (!loginPipelined_)
            sendPass();
        break;
    case 3:
        step_ = 4;
        sendStat();
        break;
    case 4:
        evaluateStat(reply.status);
        break;
    case 5:
        topCollected(reply.block);
        break;
    case dialogue::uidlSent:
        uidlsAnswered(reply);
        break;
    case dialogue::listSent:
        sizesAnswered(reply);
        break;
    case 6:
        closeSession();
        break;
    default:
        subSend(QStringLiteral("NOOP\r\n"));
        break;
    }
}

// USER and PASS without waiting for the answer to USER. Nothing follows PASS in the same
// write: the login changes the session's state, and a server may hand the connection from
// its login program to its mailbox program at that point, losing whatever was read ahead
// (as RFC 2920 §3.1 has it for SMTP, a change of state ends a pipelined group).
void Pop3Engine::sendLoginBatch()
{
    loginPipelined_ = true;
    sendUser();
    sendPass();
}

// STAT once logged in. Of a mailbox this run knows nothing of yet, every message is news:
// its lists of unique ids and sizes will be wanted unless it is empty, so a server that takes
// pipelined commands gets it in the same write.
void Pop3Engine::sendStat()
{
    growTables();
    uidlPipelined_ = pipelining() && caps_.uidl && !plainListing_ && prevCount_[size_t(index_)] == 0
        && listed_[size_t(index_)] == 0;
    holdCommands();
    subSend(QStringLiteral("STAT\r\n"));
    if (uidlPipelined_) {
        subSend(QStringLiteral("UIDL\r\n"), ReplyReader::Framing::MultiLine);
        subSend(QStringLiteral("LIST\r\n"), ReplyReader::Framing::MultiLine);
    }
    sendHeld();
}

// Commands that went out together are waiting for their replies: the login (with CAPA),
// or STAT with UIDL and LIST.
bool Pop3Engine::pipelinedGroupOut() const
{
    if (loginPipelined_ && (step_ == dialogue::capaSent || step_ == 1 || step_ == 3))
        return true;
    return uidlPipelined_ && (step_ == 4 || step_ == dialogue::uidlSent || step_ == dialogue::listSent);
}

// A server whose CAPA no longer holds (it lists PIPELINING but loses what a write holds
// beyond one command, or was replaced by one that does): the group is given up, the
// remembered CAPA forgotten, and the same check logs in again on a new connection at once.
void Pop3Engine::logInAgainInLockstep()
{
    rememberCapabilities(Capabilities{});
    lockstep_ = true;
    logInAgain();
}

// The same check on a new connection, at once.
void Pop3Engine::logInAgain()
{
    const QString password = account_.passw; // dropConnection forgets it
    subDisConn();
    dropConnection();
    account_.passw = password;
    timeoutCount_ = 1;
    restartTimeup();
    openConnection();
}

void Pop3Engine::evaluateStat(const QByteArray &statusLine)
{
    const std::optional<Stat> stat = parseStat(statusLine);
    if (!stat) {
        sessionError(QStringLiteral("ｻｰﾊﾞｰのSTAT応答が正しくありません:")
                     + decodeCp932(statusLine.trimmed()));
        return;
    }
    growTables();
    const size_t a = size_t(index_);
    msgCount_ = stat->count;
    if (uidlPipelined_)
        reader_.widen(listBound()); // the UIDL and LIST asked for with STAT
    if (stat->count == 0) {
        prevCount_[a] = 0;
        listed_[a] = 0;
        forgetKeptSummaries();
        if (uidlPipelined_)
            step_ = dialogue::uidlSent; // its (empty) lists are read before QUIT
        else
            subDisConn();
        return;
    }
    const bool unchanged =
        opt_.onlyNewer && stat->count == prevCount_[a] && stat->size == prevSize_[a];
    if (unchanged && listed_[a] == stat->count) {
        // The rows of the last check stay.
        total_ = saturatingAdd(total_, stat->count);
        subDisConn();
        return;
    }
    // An unchanged mailbox whose rows are gone (the mail table was made anew) is fetched
    // again, but its messages are no news.
    if (!unchanged && (!opt_.onlyNewer || !suppress_))
        newMail_[a] = true;
    total_ = saturatingAdd(total_, stat->count);
    // Taken as the account's previous count and size only once the last TOP is filed: an
    // interrupted check must be repeated in full, not taken as "unchanged" next time.
    statSize_ = stat->size;
    listed_[a] = 0;
    startHeaders();
}

} // namespace lum
