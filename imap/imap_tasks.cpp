// After the login: opening the mailbox, and the check, the retrieve and the delete.
#include "imap/imap_session.h"

#include "imap/session_text.h"

#include <algorithm>
#include <limits>

namespace lum {

using namespace imaptext;

namespace {

// The answer to UID SEARCH is one line of every matching UID: room for the longest UID and
// its space per message the mailbox holds, beyond the usual bounds. The count is the
// server's word, so it counts up to what the largest real mailboxes hold (some hundred
// thousand messages) many times over, and no further.
constexpr qsizetype searchLineBase = 16 * 1024 * 1024;
constexpr qsizetype searchLinePerMessage = 16;
constexpr quint64 searchMessagesCounted = 2000000;

} // namespace

// EXAMINE for the check and the retrieve: nothing is marked \Seen, and \Recent stays for
// the other clients. The check's search follows at once.
void ImapSession::openMailbox()
{
    uidValidity_.reset();
    exists_ = 0;
    const bool deleting = job_.task == ImapTask::Delete;
    // Whether UID EXPUNGE or IDLE may be used is known only from what the server lists after
    // the login.
    if ((deleting || job_.task == ImapTask::Idle) && !capsFresh_)
        sendLine(Command::Capability, "CAPABILITY");
    const std::optional<ImapString> box = astring(job_.mailbox, literalMode());
    if (!box) {
        end(folderNotOpened() + QString::fromUtf8(job_.mailbox).simplified());
        return;
    }
    const QByteArray verb = deleting ? "SELECT " : "EXAMINE ";
    if (box->waitForContinuation)
        send(Command::Open, {verb + box->head, box->literal + "\r\n"}, QByteArray());
    else
        sendLine(Command::Open, verb + box->head + box->literal);
    if (job_.task == ImapTask::Check) {
        searchUids_.clear();
        sendLine(Command::Search, "UID SEARCH UNSEEN UNDELETED");
    }
}

void ImapSession::mailboxOpened()
{
    switch (job_.task) {
    case ImapTask::Check:
        raiseSearchBounds();
        break;
    case ImapTask::Retrieve:
        if (sameMailbox()) {
            reader_.setLiteralLimit(job_.messageLimit);
            fetchNext();
        }
        break;
    case ImapTask::Idle:
        idleOrLogout();
        break;
    case ImapTask::Delete:
        if (!sameMailbox())
            break;
        if (uidSet(job_.uids).isEmpty()) {
            logout();
            break;
        }
        sendLine(Command::Store, "UID STORE " + uidSet(job_.uids) + " +FLAGS.SILENT (\\Deleted)");
        break;
    }
}

void ImapSession::raiseSearchBounds()
{
    const qsizetype messages = qsizetype(std::min(exists_, searchMessagesCounted));
    ImapReader::Limits limits = reader_.limits();
    limits.line = std::max(limits.line, searchLineBase + searchLinePerMessage * messages);
    limits.values = std::max(limits.values, messages + 16);
    reader_.setLimits(limits);
}

// The UIDs of the job belong to the listing's UIDVALIDITY: under another (or none) they may
// name other messages, and nothing is done to them.
bool ImapSession::sameMailbox()
{
    if (uidValidity_ && *uidValidity_ == job_.uidValidity)
        return true;
    host_.mailboxChanged();
    logout();
    return false;
}

// The check's listing: the headers the host has no summary of come in one UID FETCH,
// with the LOGOUT in the same write.
void ImapSession::searched()
{
    reader_.setLimits(ImapReader::Limits());
    std::sort(searchUids_.begin(), searchUids_.end());
    searchUids_.erase(std::unique(searchUids_.begin(), searchUids_.end()), searchUids_.end());
    const std::vector<quint32> wanted = host_.listed(uidValidity_.value_or(0), searchUids_);
    wanted_ = std::set<quint32>(wanted.begin(), wanted.end());
    wanted_.erase(0);
    partial_.clear();
    if (!wanted_.empty())
        sendLine(Command::Fetch, "UID FETCH " + uidSet(wanted) + " (UID RFC822.SIZE BODY.PEEK[HEADER])");
    logout();
}

// A FETCH response: ours when it carries the UID asked for and the items asked for, in any
// order and maybe over several responses; anything else (a flag change another client
// made) is passed by.
void ImapSession::fetchedData(const ImapValue &items)
{
    const ImapValue *uidItem = items.item("UID");
    if (!uidItem || !uidItem->isNumber() || uidItem->number > 0xffffffffu)
        return;
    const quint32 uid = quint32(uidItem->number);
    if (job_.task == ImapTask::Retrieve) {
        const ImapValue *body = items.item("BODY[]");
        if (fetching_ == uid && !fetchedCurrent_ && body && body->kind == ImapValue::Kind::String) {
            fetchedCurrent_ = true;
            host_.messageFetched(uid, body->text);
        }
        return;
    }
    if (job_.task != ImapTask::Check || !wanted_.count(uid))
        return;
    PartialHeader &got = partial_[uid];
    if (const ImapValue *size = items.item("RFC822.SIZE"); size && size->isNumber())
        got.size = qint64(std::min<quint64>(size->number, quint64(std::numeric_limits<qint64>::max())));
    if (const ImapValue *header = items.item("BODY[HEADER]"); header && header->kind == ImapValue::Kind::String)
        got.header = header->text;
    if (!got.size || !got.header)
        return;
    host_.headerFetched(uid, *got.size, *got.header);
    partial_.erase(uid);
    wanted_.erase(uid);
}

// The retrieve: one message at a time, so that only one may be as large as the limit; the
// LOGOUT goes out with the last.
void ImapSession::fetchNext()
{
    while (nextUid_ < job_.uids.size() && job_.uids[nextUid_] == 0)
        ++nextUid_;
    if (nextUid_ == job_.uids.size()) {
        fetching_.reset();
        logout();
        return;
    }
    fetching_ = job_.uids[nextUid_++];
    fetchedCurrent_ = false;
    sendLine(Command::Fetch, "UID FETCH " + QByteArray::number(*fetching_) + " (UID BODY.PEEK[])");
    if (nextUid_ == job_.uids.size())
        logout();
}

void ImapSession::fetchAnswered()
{
    if (job_.task == ImapTask::Check) {
        // A header whose size the server never named is still a message of the list.
        for (const auto &[uid, got] : partial_) {
            if (got.header)
                host_.headerFetched(uid, 0, *got.header);
        }
        partial_.clear();
        return; // the LOGOUT is on its way
    }
    if (job_.task != ImapTask::Retrieve || !fetching_)
        return;
    if (!fetchedCurrent_)
        host_.messageGone(*fetching_); // expunged since the listing
    fetchNext();
}

// Without UIDPLUS a plain EXPUNGE would also remove what another client flagged \Deleted:
// it is sent only when the flagged messages are all ours (RFC 4315 §1).
void ImapSession::stored()
{
    if (listed("UIDPLUS") || listed("IMAP4REV2")) {
        sendLine(Command::UidExpunge, "UID EXPUNGE " + uidSet(job_.uids));
        return;
    }
    searchUids_.clear();
    raiseSearchBounds();
    sendLine(Command::SearchDeleted, "UID SEARCH DELETED");
}

void ImapSession::deletedSearched()
{
    const std::set<quint32> ours(job_.uids.begin(), job_.uids.end());
    const bool onlyOurs = std::all_of(searchUids_.begin(), searchUids_.end(),
                                      [&](quint32 uid) { return ours.count(uid) > 0; });
    if (onlyOurs) {
        sendLine(Command::Expunge, "EXPUNGE");
        return;
    }
    host_.deleted(job_.uids, false);
    logout();
}

void ImapSession::expunged()
{
    host_.deleted(job_.uids, true);
    logout();
}

} // namespace lum
