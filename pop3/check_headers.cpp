// The rows of a changed mailbox. Where the server lists unique ids (UIDL) and sizes (LIST),
// a message seen by an earlier check is filed from the summary kept under its id when its
// size is the same, and only the others are fetched with TOP n 5. TOP goes out in a window of commands not yet answered when the
// server takes pipelined commands (RFC 2449), else one at a time. Rows are filed in the
// order of their numbers either way, each as soon as every row before it is filed.
#include "pop3/engine.h"

#include "pop3/kept_store.h"

#include <algorithm>

namespace lum {

namespace {

// Commands are a few bytes each and replies are read as they come, so this many unanswered
// TOP commands never fill either side's buffers; it is enough to keep a distant server busy.
// The window is filled up again, in one write, once half of it has been answered.
constexpr int topWindow = 2048;

} // namespace

void Pop3Engine::startHeaders()
{
    uidls_.clear();
    sizes_.clear();
    topsOut_.clear();
    headerIndex_ = 1;
    nextTop_ = 1;
    // A list asked for with STAT is next in line.
    if (fast_ && (caps_.uidl || uidlPipelined_) && !plainListing_) {
        step_ = dialogue::uidlSent;
        if (!uidlPipelined_)
            subSend(QStringLiteral("UIDL\r\n"), ReplyReader::Framing::MultiLine, listBound());
        return;
    }
    step_ = 5;
    walkHeaders();
}

namespace {

// A list that doesn't name every message of the STAT reply exactly once is not used, nor
// one whose ids are the message numbers: such ids name positions, not messages.
bool usable(const std::optional<std::vector<UniqueId>> &ids, qint32 count)
{
    if (!ids || qsizetype(ids->size()) != count || (count > 0 && ids->back().message != count))
        return false;
    return !std::all_of(ids->begin(), ids->end(),
                        [](const UniqueId &id) { return id.uidl == QByteArray::number(id.message); });
}

} // namespace

// The bound of a UIDL or LIST reply for the count STAT gave: a UIDL line takes at most 83
// octets (a 10-digit number, a blank, a 70-character id, CR LF, and a stuffed dot).
qsizetype Pop3Engine::listBound() const
{
    return std::max(ReplyReader::maxHeaderReply, qsizetype(msgCount_) * 83 + 64 * 1024);
}

// The ids are used only with the sizes LIST gives, asked for in the same write as UIDL
// where the server takes pipelined commands, else once the ids have come.
void Pop3Engine::uidlsAnswered(const ReplyReader::Reply &reply)
{
    appendLog(reply.block, "\r\n");
    uidls_.clear();
    const std::optional<std::vector<UniqueId>> ids =
        reply.positive && msgCount_ > 0 ? parseUidlList(reply.block) : std::nullopt;
    if (usable(ids, msgCount_)) {
        uidls_.reserve(ids->size());
        for (const UniqueId &id : *ids)
            uidls_.push_back(id.uidl);
    }
    step_ = dialogue::listSent;
    if (uidlPipelined_)
        return; // the reply to LIST is next in line
    if (uidls_.empty()) {
        step_ = 5;
        walkHeaders();
        return;
    }
    subSend(QStringLiteral("LIST\r\n"), ReplyReader::Framing::MultiLine, listBound());
}

// Without the sizes of every message the rows are fetched as without UIDL.
void Pop3Engine::sizesAnswered(const ReplyReader::Reply &reply)
{
    appendLog(reply.block, "\r\n");
    if (msgCount_ == 0) {
        subDisConn(); // the lists came along with STAT
        return;
    }
    step_ = 5;
    std::optional<std::vector<qint64>> sizes = reply.positive ? parseScanList(reply.block) : std::nullopt;
    if (!sizes || qsizetype(sizes->size()) != msgCount_)
        uidls_.clear();
    if (!uidls_.empty()) {
        sizes_ = std::move(*sizes);
        Kept &kept = keptSummaries();
        const qsizetype before = kept.set.size();
        kept.set.keepOnly(uidls_);
        kept.changed = kept.changed || kept.set.size() != before;
    }
    walkHeaders();
}

// The summaries of the session's owner: those in memory, or else those on disk.
Pop3Engine::Kept &Pop3Engine::keptSummaries()
{
    growTables();
    Kept &kept = kept_[size_t(index_)];
    const KeptOwner owner{host_, port_, account_.uname, decoding_};
    if (!kept.loaded || !(kept.owner == owner)) {
        kept.owner = owner;
        kept.set = keptStore_ ? KeptSummaries::fromBytes(keptStore_->load(owner.fileName()), owner)
                              : KeptSummaries{};
        kept.loaded = true;
        kept.changed = false;
    }
    return kept;
}

const Summary *Pop3Engine::keptSummary(int message) const
{
    if (uidls_.empty())
        return nullptr;
    return kept_[size_t(index_)].set.find(uidls_[size_t(message - 1)], sizes_[size_t(message - 1)]);
}

void Pop3Engine::walkHeaders()
{
    // Rows already known, up to the first that waits for its TOP.
    while (headerIndex_ <= msgCount_) {
        const Summary *summary = keptSummary(headerIndex_);
        if (!summary)
            break;
        fileRow(headerIndex_, *summary);
        ++headerIndex_;
    }
    nextTop_ = std::max(nextTop_, headerIndex_);
    const qsizetype window = pipelining() ? topWindow : 1;
    if (qsizetype(topsOut_.size()) <= window / 2) {
        holdCommands();
        while (qsizetype(topsOut_.size()) < window && nextTop_ <= msgCount_) {
            const int message = nextTop_++;
            if (!keptSummary(message)) {
                topsOut_.push_back(message);
                subSend(QStringLiteral("TOP %1 5\r\n").arg(message), ReplyReader::Framing::MultiLine);
            }
        }
        // The last TOP has QUIT behind it, so that the session ends with the last reply.
        if (window > 1 && nextTop_ > msgCount_ && !topsOut_.empty() && !quitQueued_) {
            quitQueued_ = true;
            subSend(QStringLiteral("QUIT\r\n"));
        }
        sendHeld();
    }
    if (headerIndex_ > msgCount_ && topsOut_.empty())
        headersDone();
}

void Pop3Engine::topCollected(QByteArray block)
{
    if (topsOut_.empty())
        return;
    const int message = topsOut_.front();
    topsOut_.pop_front();
    replaceNul(block);
    appendLog(block, "\r\n\r\n");
    Summary summary = summaryOf(block, decoding_);
    if (!uidls_.empty()) {
        Kept &kept = kept_[size_t(index_)];
        kept.set.put(uidls_[size_t(message - 1)], sizes_[size_t(message - 1)], summary);
        kept.changed = true;
    }
    fileRow(message, std::move(summary));
    headerIndex_ = message + 1;
    walkHeaders();
}

void Pop3Engine::fileRow(int message, Summary summary)
{
    // The table grows with what the server has actually sent, not with what STAT claims.
    table_.ensureMessages(index_, message);
    const QByteArray uidl = uidls_.empty() ? QByteArray() : uidls_[size_t(message - 1)];
    MailRecord *record = table_.record(index_, message);
    if (record && record->uidl != uidl && !record->uidl.isEmpty() && !uidl.isEmpty()) {
        // Another message in the slot, even if its header reads the same.
        record->body.clear();
        record->retrieved = false;
    }
    fileSummary(std::move(summary), table_, index_, message);
    if (record) {
        record->uidl = uidl;
        record->arrived.reset(); // the list tells the new ones by their numbers
    }
    // Rows filed so far are listed even when the check breaks off before the last one.
    listed_[size_t(index_)] = message;
}

// An empty mailbox: what was kept of its messages goes with them.
void Pop3Engine::forgetKeptSummaries()
{
    if (!fast_)
        return;
    Kept &kept = keptSummaries();
    if (kept.set.size() == 0)
        return;
    kept.set = {};
    kept.changed = false;
    if (keptStore_)
        keptStore_->save(kept.owner.fileName(), kept.set.toBytes(kept.owner));
}

// Every row is filed: the mailbox is taken as the account's previous one, and what was
// learnt of its messages is kept for the next check, in this run or the next.
void Pop3Engine::headersDone()
{
    const size_t a = size_t(index_);
    prevCount_[a] = msgCount_;
    prevSize_[a] = statSize_;
    // QUIT goes out before the summaries are written, which then overlaps its round trip.
    subDisConn();
    if (!uidls_.empty() && kept_[a].changed && keptStore_) {
        keptStore_->save(kept_[a].owner.fileName(), kept_[a].set.toBytes(kept_[a].owner));
        kept_[a].changed = false;
    }
}

} // namespace lum
