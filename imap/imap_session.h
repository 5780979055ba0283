#pragma once
// One IMAP connection of the checker (RFC 3501, RFC 9051), sans-IO: the bytes the server
// sends go in through received(), the commands come out through the ImapSessionHost, and
// what the session learns is handed to the host as it comes. No sockets, timers or widgets:
// the engine that owns the connection binds those (time-outs, TLS, the protocol log, the
// mail table, the kept summaries).
//
// Dialogue, every command tagged "A1", "A2", ... in turn:
//   greeting       "* OK [CAPABILITY ...]" (PREAUTH: already logged in; BYE: refused)
//   STARTTLS       with startTls, right after the greeting; the server must list it, and
//                  nothing of the login goes out before the handshake (RFC 3501 §6.2.1).
//                  Capabilities learnt before TLS are forgotten after it.
//   CAPABILITY     when the greeting (or the answer after TLS) did not list them
//   login          LOGIN user password (quoted strings, or literals when needed; refused
//                  when the server lists LOGINDISABLED), or for OAuth 2.0 AUTHENTICATE
//                  OAUTHBEARER / XOAUTH2 with the initial response on the command line when
//                  the server lists SASL-IR, else after its "+ "
//   EXAMINE box    the check, the retrieve and the push (read-only: nothing is marked
//                  \Seen, \Recent stays for other clients); SELECT box for the delete. The
//                  delete and the push send CAPABILITY first, in the same write, when the
//                  login's OK did not list them (UIDPLUS, IDLE). "[UIDVALIDITY n]"
//   then, by task:
//   check          UID SEARCH UNSEEN UNDELETED in the same write as the EXAMINE; then one
//                  UID FETCH uid-set (UID RFC822.SIZE BODY.PEEK[HEADER]) for the UIDs the
//                  host has no summary of, with the LOGOUT
//   retrieve       UID FETCH uid (UID BODY.PEEK[]) for each UID, one at a time
//   delete         UID STORE uid-set +FLAGS.SILENT (\Deleted); then UID EXPUNGE uid-set when
//                  the server lists UIDPLUS or IMAP4rev2, else UID SEARCH DELETED, and a
//                  plain EXPUNGE only when every \Deleted message is one of ours
//   push           IDLE (RFC 2177) when the server lists it, else noIdle and LOGOUT; on
//                  its "+" the session idles (idling). Each untagged EXISTS, EXPUNGE or
//                  FETCH from then until IDLE's tagged OK is news. renew(): DONE, and IDLE
//                  again on the tagged OK (a server may drop a client idle for 30 minutes);
//                  stop(): DONE and LOGOUT in one write. IDLE answered without DONE ends
//                  the session
//   LOGOUT         the session ends with its tagged OK or the server closing
// A retrieve or delete whose mailbox has another UIDVALIDITY than the listing does nothing
// to it and says so (mailboxChanged). An untagged BYE, a tagged NO or BAD where no refusal
// is expected, a response the reader refuses (too large, malformed) or a tag that was not
// sent ends the session with a message.
//
// Responses are bounded by ImapReader; the session raises the line bound for the answer to
// UID SEARCH (a large mailbox's UIDs fill one long line) and the literal bound to the host's
// message limit for BODY.PEEK[].

#include "imap/imap_text.h"
#include "imap/response_reader.h"

#include <QByteArray>
#include <QString>

#include <deque>
#include <map>
#include <optional>
#include <set>
#include <vector>

namespace lum {

enum class ImapTask { Check, Retrieve, Delete, Idle };

struct ImapLogin {
    QByteArray user;     // UTF-8, as typed
    QByteArray password; // UTF-8; unused for OAuth
    // OAuth 2.0: the SASL initial responses in base64, one per mechanism; OAUTHBEARER is
    // used when the server lists AUTH=OAUTHBEARER, else XOAUTH2. Empty for a password login.
    QByteArray oauthBearer;
    QByteArray xoauth2;
    bool oauth() const { return !oauthBearer.isEmpty() || !xoauth2.isEmpty(); }
};

struct ImapJob {
    ImapTask task = ImapTask::Check;
    QByteArray mailbox = "INBOX";   // as sent: modified UTF-7 (encodeMailboxName)
    bool startTls = false;          // STARTTLS after the greeting
    quint32 uidValidity = 0;        // retrieve, delete: of the listing the UIDs belong to
    std::vector<quint32> uids;      // retrieve, delete: the marked messages
    qsizetype messageLimit = 512 * 1024 * 1024; // bytes of one message fetched whole
};

// What the session asks of the engine that owns the connection. Every call comes from
// within ImapSession::received(), encrypted() or closed(), so the host does not destroy the
// session from within one (after finished(), later: the session does nothing more).
class ImapSessionHost {
public:
    virtual ~ImapSessionHost() = default;
    // Bytes for the server. logged is what the protocol log shows of them: the same, with
    // the password, token or SASL response masked ("A2 LOGIN ******..."); empty for the
    // parts of a LOGIN that follow the server's "+" (the masked line stands for them all).
    virtual void send(const QByteArray &bytes, const QByteArray &logged) = 0;
    // A response as the server sent it, for the protocol log.
    virtual void logResponse(const QByteArray &raw) = 0;
    // STARTTLS was accepted: the host starts the TLS handshake on the connection and calls
    // encrypted() once it is done (or ends the session when it fails).
    virtual void startTls() = 0;

    // Check: the server's UIDVALIDITY and the UIDs of the unseen, undeleted messages in
    // ascending order; the host answers with those it needs headers for (no summary kept
    // under this UIDVALIDITY and UID), a subset in the same order.
    virtual std::vector<quint32> listed(quint32 uidValidity, const std::vector<quint32> &uids) = 0;
    // Check: the header block (field lines and the blank line after them, CR LF line ends)
    // and size of one message asked for (0 when the server named none).
    virtual void headerFetched(quint32 uid, qint64 size, const QByteArray &header) = 0;
    // Retrieve: the whole message as the server sent it.
    virtual void messageFetched(quint32 uid, const QByteArray &message) = 0;
    // Retrieve: the server gave no message for uid (expunged meanwhile).
    virtual void messageGone(quint32 uid) = 0;
    // Delete: the messages were flagged \Deleted; expunged tells whether they were also
    // removed, or stay flagged because other messages of the mailbox carry \Deleted too.
    virtual void deleted(const std::vector<quint32> &uids, bool expunged) = 0;
    // Retrieve, delete: the mailbox's UIDVALIDITY is not the listing's; nothing was done.
    virtual void mailboxChanged() = 0;

    // Push: the session idles (after each IDLE's "+", so again after every renewal).
    virtual void idling() {}
    // Push: the mailbox changed (one call per EXISTS, EXPUNGE or FETCH).
    virtual void news() {}
    // Push: the server does not list IDLE; LOGOUT follows.
    virtual void noIdle() {}

    // The server refused an OAuth 2.0 token (AUTHENTICATE answered NO with
    // [AUTHENTICATIONFAILED] or no code): the host may renew it and try a new connection.
    // finished() follows at once with the same text, for the host that does not renew.
    virtual void tokenRefused(const QString &serverText) = 0;
    // The session is over: error empty after a normal LOGOUT (or the server closing after
    // it), else the message to show.
    virtual void finished(const QString &error) = 0;
};

class ImapSession {
public:
    ImapSession(ImapSessionHost &host, ImapLogin login, ImapJob job);

    // Bytes from the server, in chunks of any size, from the greeting on.
    void received(QByteArrayView bytes);
    // The STARTTLS handshake completed.
    void encrypted();
    // The server closed the connection: the session ends (normally once LOGOUT was sent).
    void closed();
    // Push: DONE, and IDLE again once the server has answered it. Only while idling.
    void renew();
    // Push, the normal end: DONE (when idling) and LOGOUT; once the server has answered
    // LOGOUT, finished() with no error. Before IDLE was sent the session just ends
    // (finished() at once, the host closes the connection).
    void stop();
    // finished() was called.
    bool over() const;
    // Whether the session saw the server do anything since the last call (for the host's
    // time-out): a response, or part of one.
    bool progressed();

private:
    // What a tag was sent for: its tagged answer is read by that.
    enum class Command {
        Capability, StartTls, Login, Authenticate, Open, Search, Fetch, Store, UidExpunge,
        SearchDeleted, Expunge, Idle, Logout
    };
    // Push: Asked from IDLE to its "+", Idling until DONE, Done until IDLE's tagged answer.
    enum class IdleStep { Off, Asked, Idling, Done };
    // AUTHENTICATE: what the next "+" asks for.
    enum class Sasl { None, Response, Challenge, Over };
    struct Pending {
        QByteArray tag;
        Command command;
    };
    struct Part {
        QByteArray bytes;
        QByteArray logged;
        std::vector<QByteArray> tags; // of the commands with bytes in it
    };
    struct PartialHeader {
        std::optional<qint64> size;
        std::optional<QByteArray> header;
    };

    // The wire: tags, writes, continuations, the one way out (imap_session.cpp).
    void handle(const ImapResponse &r);
    void tagged(const ImapResponse &r);
    void refused(Command command, const ImapResponse &r);
    void untagged(const ImapResponse &r);
    void continued();
    void send(Command command, std::vector<QByteArray> parts, const QByteArray &masked);
    void sendLine(Command command, const QByteArray &args);
    void flush();
    void logout();
    bool onlyLogoutLeft() const;
    void end(const QString &error);
    // Greeting, capabilities, STARTTLS and the login (imap_login.cpp).
    void greeted(const ImapResponse &r);
    void takeCapabilities(const std::vector<ImapValue> &names);
    bool listed(QByteArrayView capability) const;
    LiteralMode literalMode() const;
    void beforeLogin();
    void startTlsAnswered();
    void login();
    void authenticate();
    void authenticateRefused(const ImapResponse &r);
    // The mailbox and the three tasks (imap_tasks.cpp).
    void openMailbox();
    void mailboxOpened();
    void raiseSearchBounds();
    bool sameMailbox();
    void searched();
    void fetchedData(const ImapValue &items);
    void fetchNext();
    void fetchAnswered();
    void stored();
    void deletedSearched();
    void expunged();
    // The push (imap_idle.cpp).
    void idleOrLogout();
    void idleContinued();
    void idleAnswered();
    bool idleNews(const ImapResponse &r);
    void done();

    ImapSessionHost &host_;
    ImapLogin login_;
    ImapJob job_;
    ImapReader reader_;
    std::deque<Pending> pending_;
    std::deque<Part> waiting_; // parts held for the server's "+", each after the one before
    Part out_; // what the response being read made the session write
    int tagNo_ = 0;
    bool greeted_ = false;
    bool handshaking_ = false;
    bool tlsDone_ = false;
    bool loggedIn_ = false;
    bool logoutSent_ = false;
    bool over_ = false;
    bool progressed_ = false;
    std::vector<QByteArray> caps_; // upper-cased
    bool capsFresh_ = false; // caps_ are what the server says in its current state
    Sasl sasl_ = Sasl::None;
    bool oauthBearer_ = false;
    quint64 exists_ = 0;
    std::optional<quint32> uidValidity_;
    std::vector<quint32> searchUids_;
    std::set<quint32> wanted_; // check: headers asked for and not yet handed over
    std::map<quint32, PartialHeader> partial_;
    size_t nextUid_ = 0; // retrieve: the next of job_.uids to fetch
    std::optional<quint32> fetching_;
    bool fetchedCurrent_ = false;
    IdleStep idle_ = IdleStep::Off;
    bool stopping_ = false;
};

} // namespace lum
