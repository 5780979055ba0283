#include "pop3/imap_link.h"

#include "imap/imap_text.h"
#include "pop3/kept_store.h"
#include "pop3/sasl.h"

#include <algorithm>

namespace lum {

namespace {

// A message fetched by IMAP as the POP3 replies hand it to the decoders: a status line,
// the text with CR LF line ends and the closing dot line.
QByteArray asReply(QByteArray text)
{
    if (!text.isEmpty() && !text.endsWith('\n'))
        text += "\r\n";
    return "+OK\r\n" + text + ".\r\n";
}

} // namespace

Pop3Engine::~Pop3Engine() = default;

Pop3Engine::ImapLink::ImapLink(Pop3Engine &engine, ImapLogin login, ImapJob job)
    : engine_(engine), mailbox_(job.mailbox), validity_(job.uidValidity),
      session_(*this, std::move(login), std::move(job))
{
}

// The account's session: its login (the password, or the token's SASL responses), the
// mailbox, and for retrieve and delete the UIDs of the marked rows.
void Pop3Engine::openImapSession()
{
    ImapLogin login;
    login.user = account_.uname.toUtf8();
    if (oauth_) {
        login.oauthBearer = initialResponse(SaslMechanism::OAuthBearer, account_.uname, host_, port_, account_.passw);
        login.xoauth2 = initialResponse(SaslMechanism::XOAuth2, account_.uname, host_, port_, account_.passw);
    } else {
        login.password = account_.passw.toUtf8();
    }
    ImapJob job;
    job.task = kind_ == SessionKind::Check      ? ImapTask::Check
               : kind_ == SessionKind::Retrieve ? ImapTask::Retrieve
                                                : ImapTask::Delete;
    job.mailbox = encodeMailboxName(account_.imapbox.isEmpty() ? inboxName : account_.imapbox);
    job.startTls = sslmode_ == SslMode::Stls;
    job.messageLimit = ReplyReader::maxMessageReply;
    if (kind_ != SessionKind::Check) {
        growTables();
        job.uidValidity = imapBoxes_[size_t(index_)].validity;
        const auto want = kind_ == SessionKind::Retrieve ? &Pop3Engine::wanted : &Pop3Engine::marked;
        for (int m = nextMessage(index_, 0, want); m != 0; m = nextMessage(index_, m, want)) {
            if (const quint32 uid = table_.record(index_, m)->uidl.toUInt())
                job.uids.push_back(uid);
        }
    }
    imap_ = std::make_unique<ImapLink>(*this, std::move(login), std::move(job));
}

void Pop3Engine::ImapLink::send(const QByteArray &bytes, const QByteArray &logged)
{
    if (!engine_.open_ || engine_.tls_ == TlsStep::Handshake)
        return;
    engine_.appendLog(logged);
    engine_.transport_.send(engine_.conn_, bytes);
}

void Pop3Engine::ImapLink::logResponse(const QByteArray &raw)
{
    engine_.appendLog(raw);
}

void Pop3Engine::ImapLink::startTls()
{
    engine_.tls_ = TlsStep::Handshake;
    engine_.transport_.startTls(engine_.conn_, engine_.pin());
}

// Summaries are kept under the mailbox, its UIDVALIDITY and the UID: a server never gives
// a UID to another message of the same mailbox and UIDVALIDITY.
QByteArray Pop3Engine::ImapLink::keptKey(quint32 uid) const
{
    return "imap " + mailbox_ + ' ' + QByteArray::number(validity_) + ' ' + QByteArray::number(uid);
}

std::vector<quint32> Pop3Engine::ImapLink::listed(quint32 uidValidity, const std::vector<quint32> &uids)
{
    validity_ = uidValidity;
    uids_ = uids;
    listedAll_ = true;
    Kept &kept = engine_.keptSummaries();
    std::vector<QByteArray> keys;
    std::vector<quint32> wanted;
    keys.reserve(uids.size());
    for (const quint32 uid : uids) {
        keys.push_back(keptKey(uid));
        if (!kept.set.find(keys.back(), 0))
            wanted.push_back(uid);
    }
    const qsizetype before = kept.set.size();
    kept.set.keepOnly(keys);
    kept.changed = kept.changed || kept.set.size() != before;
    return wanted;
}

void Pop3Engine::ImapLink::headerFetched(quint32 uid, qint64, const QByteArray &header)
{
    if (std::find(uids_.begin(), uids_.end(), uid) == uids_.end())
        return;
    Kept &kept = engine_.keptSummaries();
    kept.set.put(keptKey(uid), 0, summaryOf(asReply(header), engine_.decoding_));
    kept.changed = true;
}

// The rows of the unseen messages, oldest first. A message whose UID is above the highest
// of the last check under the same UIDVALIDITY is new; after another UIDVALIDITY nothing is.
void Pop3Engine::ImapLink::fileRows()
{
    Pop3Engine &e = engine_;
    e.growTables();
    const size_t a = size_t(e.index_);
    ImapBox &box = e.imapBoxes_[a];
    const bool sameBox = !box.known || box.validity == validity_;
    const qint32 count = qint32(uids_.size());
    Kept &kept = e.keptSummaries();
    e.table_.ensureMessages(e.index_, count);
    bool arrived = false;
    for (qint32 m = 1; m <= count; ++m) {
        const quint32 uid = uids_[size_t(m - 1)];
        const Summary *summary = kept.set.find(keptKey(uid), 0);
        MailRecord *record = e.table_.record(e.index_, m);
        const QByteArray id = QByteArray::number(uid);
        if (record && record->uidl != id) {
            record->body.clear();
            record->retrieved = false;
        }
        fileSummary(summary ? *summary : Summary{}, e.table_, e.index_, m);
        if (record) {
            record->uidl = id;
            record->arrived = sameBox && uid > box.highestUid;
            arrived = arrived || *record->arrived;
        }
    }
    if (arrived && (!e.opt_.onlyNewer || !e.suppress_))
        e.newMail_[a] = true;
    if (!sameBox)
        box.highestUid = 0;
    box.known = true;
    box.validity = validity_;
    for (const quint32 uid : uids_)
        box.highestUid = std::max(box.highestUid, uid);
    e.prevCount_[a] = count;
    e.prevSize_[a] = 0;
    e.listed_[a] = count;
    e.total_ = saturatingAdd(e.total_, count);
    if (kept.changed && e.keptStore_) {
        e.keptStore_->save(kept.owner.fileName(), kept.set.toBytes(kept.owner));
        kept.changed = false;
    }
}

int Pop3Engine::ImapLink::rowOf(quint32 uid) const
{
    const QByteArray id = QByteArray::number(uid);
    for (int m = 1; m <= engine_.table_.messageSlots(engine_.index_); ++m) {
        if (engine_.table_.record(engine_.index_, m)->uidl == id)
            return m;
    }
    return 0;
}

void Pop3Engine::ImapLink::messageFetched(quint32 uid, const QByteArray &message)
{
    if (const int m = rowOf(uid)) {
        QByteArray reply = asReply(message);
        replaceNul(reply);
        subListSet2(reply, engine_.table_, engine_.index_, m, engine_.decoding_);
    }
}

void Pop3Engine::ImapLink::messageGone(quint32 uid)
{
    if (const int m = rowOf(uid))
        engine_.ShowMsg(engine_.notConfirmed(m, QStringLiteral("取得しませんでした")));
}

void Pop3Engine::ImapLink::deleted(const std::vector<quint32> &, bool expunged)
{
    if (!expunged)
        engine_.ShowMsg(QStringLiteral("他のメールにも削除の印があるため、サーバーから完全には削除していません"));
}

// The listing the marks were made on is not the mailbox's any more: nothing was done.
void Pop3Engine::ImapLink::mailboxChanged()
{
    const auto want = engine_.kind_ == SessionKind::Retrieve ? &Pop3Engine::wanted : &Pop3Engine::marked;
    const QString outcome = engine_.kind_ == SessionKind::Retrieve ? QStringLiteral("取得しませんでした")
                                                                   : QStringLiteral("削除しませんでした");
    for (int m = engine_.nextMessage(engine_.index_, 0, want); m != 0;
         m = engine_.nextMessage(engine_.index_, m, want))
        engine_.ShowMsg(engine_.notConfirmed(m, outcome));
}

void Pop3Engine::ImapLink::tokenRefused(const QString &)
{
    tokenRefused_ = true;
}

// The end of the session: the link goes with the connection (the engine keeps it until
// this call has returned).
void Pop3Engine::ImapLink::finished(const QString &error)
{
    Pop3Engine &e = engine_;
    if (tokenRefused_) {
        e.tokenRefused();
        return;
    }
    if (!error.isEmpty()) {
        e.dropConnection();
        e.sessionError(error);
        return;
    }
    if (e.kind_ == SessionKind::Check && listedAll_)
        fileRows();
    e.step_ = dialogue::quitSent;
    e.closeSession();
}

} // namespace lum
