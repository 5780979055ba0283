#pragma once
// The POP3 engine of the checker: one connection at a time, the check, retrieve and delete
// sessions on it, and the cycles over the accounts with their timers.
//
// Driven from outside only: transport events (TransportEvents), timer ticks (timerTick) and
// the user's commands (checkmail, retrieveMarked, deleteMarked). It answers through the
// Transport, the Timers and the EngineView it was given, and files what it learns in the
// mail table. Nothing blocks and nothing waits.
//
// Sessions (RFC 1939):
//   check     greeting, USER, PASS, STAT, TOP n 5 for n = 1..count, QUIT
//   retrieve  greeting, USER, PASS, RETR n for each marked message not yet retrieved, QUIT
//   delete    greeting, USER, PASS, then per marked message TOP n 0 and, when the message
//             is still the one the check listed, DELE n; QUIT
// With "Option15value" on, every session first asks CAPA (RFC 2449) and uses what the server
// offers. The check of a changed mailbox sends UIDL after STAT and fills the rows of messages
// it has seen before from the summaries kept by their unique ids and sizes (UIDL and
// LIST); only the others get TOP.
// Where the server offers PIPELINING, USER and PASS go out in one write, STAT (with UIDL)
// in the next once the login is answered, and TOP in windows of commands not yet answered. Retrieve and delete confirm a message
// by its header; only a row without any identity is confirmed by "UIDL n", when the check
// listed its id. The rows come out the same either way.
// Encryption ("Sslmode"): TLS from the first byte, the greeting read only once encrypted;
// or STLS (RFC 2595 §4) right after the greeting, USER only once the handshake is done. An
// account that asks for TLS never sends USER or PASS unencrypted: a refused STLS, a failed
// handshake or plain bytes where TLS was due end the session.
// A negative reply, a failed connection or a server that goes away shows the error and
// moves on to the next account one second later; so does a session without progress for
// "Timeupval" minutes. A check whose pipelined login or STAT group goes unanswered that
// long forgets the server's remembered CAPA and logs in again at once, one command at a
// time. An account that can't be opened (no host, an unusable port, a line
// break in the user name or password) gets no connection and the cycle goes on at once.
// An account whose password lives in the keyring ("Pwstore" 1) asks the PasswordSource for
// it before its connection opens; the connection opens when it arrives. Without it the
// account is told why and skipped: no session ever logs in with an empty or old password.
// An account that signs in with OAuth 2.0 ("Authmode" 1) asks the TokenSource for an access
// token the same way, always sends CAPA, and logs in with "AUTH OAUTHBEARER" or "AUTH
// XOAUTH2" instead of USER and PASS; without encryption ("Sslmode" 0) it is skipped before
// a token is asked for. A token refused with [AUTH] or no response code is renewed once, on
// a new connection; refused again, or with no renewal to be had, the account needs the user
// to sign in anew. Other codes ([IN-USE], [SYS/TEMP], ...) show the server's text.

#include "decode/mail_table.h"
#include "decode/summary.h"
#include "pop3/capabilities.h"
#include "pop3/kept_summaries.h"
#include "pop3/ports.h"
#include "pop3/reply_reader.h"
#include "pop3/sasl.h"
#include "settings/options.h"

#include <deque>
#include <memory>
#include <vector>

namespace lum {

class KeptStore;

// Steps of the dialogue that more than one session shares (Pop3Engine::step).
namespace dialogue {
inline constexpr int greeting = 0;
inline constexpr int quitSent = 6;
inline constexpr int probeSent = 8;      // delete: TOP n 0
inline constexpr int capaSent = 9;
inline constexpr int uidlSent = 10;      // check: the list of unique ids
inline constexpr int uidlProbeSent = 11; // retrieve, delete: UIDL n
inline constexpr int authSent = 12;      // AUTH with an OAuth 2.0 token, in place of USER
inline constexpr int listSent = 13;      // check: the sizes of the messages
} // namespace dialogue

// a + b, held at the largest count when it would overflow.
qint32 saturatingAdd(qint32 a, qint32 b);

class Pop3Engine : public TransportEvents {
public:
    // All references must outlive the engine. options.current is overwritten with each
    // account the engine visits; the store is read for account records only. A session
    // works on its own copy of its account, taken when it opens: options reloaded while it
    // runs change nothing for it.
    Pop3Engine(Options &options, const SettingsStore &store, MailTable &table,
               Transport &transport, Timers &timers, EngineView &view);
    ~Pop3Engine() override;

    // Cycles.
    void checkmail();
    void startupCheck();   // clears the suppress flag, then checkmail
    // A check as the check timer starts it, for news from outside (the machine woke up, the
    // network came back): at once, or once the cycle under way has ended.
    void checkWhenFree();
    // The same for one account (its server told of news): its rows are listed anew, the
    // others stay as the last check left them. A cycle under way makes it a whole check after.
    void checkAccountWhenFree(int account);
    void retrieveMarked(); // the retrieve button
    void deleteMarked();   // the delete button, after the user has confirmed
    // Starts the minute timer for "Checktimerval" (again, after the options changed).
    void startCheckTimer();
    void timerTick(TimerId id);
    // The program ends: every timer stops and an open session gets its QUIT.
    void quitSession();

    // TransportEvents.
    void connected(ConnId id) override;
    void received(ConnId id, QByteArrayView bytes) override;
    void closed(ConnId id) override;
    void failed(ConnId id, qint32 code) override;
    void encrypted(ConnId id) override;
    void tlsFailed(ConnId id, TlsError reason, const QByteArray &fingerprint) override;

    // Where keyring passwords come from; without one, keyring accounts are skipped with a
    // message. Must outlive the engine.
    void setPasswordSource(PasswordSource *source) { passwords_ = source; }
    // The answer to PasswordSource::requestPassword: the password, or none and why. An
    // answer to a request the engine no longer waits for (the cycle moved on or started
    // anew) is dropped.
    void passwordArrived(quint64 request, const std::optional<QString> &password,
                         const QString &reason);
    // Where OAuth 2.0 access tokens come from; without one such accounts are skipped.
    void setTokenSource(TokenSource *source) { tokens_ = source; }
    // The answer to TokenSource::requestToken: the token, or none and why; signInNeeded when
    // only a new sign-in can help (no refresh token, or the provider revoked it). Stale
    // answers are dropped as for passwords.
    void tokenArrived(quint64 request, const std::optional<QString> &token, const QString &reason,
                      bool signInNeeded);

    // A one-shot run (a command-line check) ends its cycle as soon as the last session has
    // closed instead of one second later.
    void setPauseBeforeCycleEnd(bool pause) { pauseAtEnd_ = pause; }
    // Report every error to the view, whatever "Option3value" says.
    void setReportAllErrors(bool all) { reportAll_ = all; }
    // Where summaries kept by unique id live between runs; without one they are kept in
    // memory only. Must outlive the engine.
    void setKeptStore(KeptStore *store) { keptStore_ = store; }

    // State of the cycle, for the view.
    // Counts of messages are 32-bit and mailbox sizes 64-bit: real mailboxes exceed 32767
    // messages and 2 GiB.
    qint32 total() const { return total_; }
    qint32 previousCount(int account) const;
    qint64 previousSize(int account) const;
    // Messages of the account whose header the last check filed, 1..listedCount: the
    // previous count, or fewer when that check broke off before its last TOP.
    qint32 listedCount(int account) const;
    // The mail table was made anew: the next check fetches every header again, even of a
    // mailbox that has not changed ("Option6value"), without taking it for new mail. A check
    // under way starts again from the first account, as the rows it had filed are gone.
    void forgetListedRows();
    bool newMail(int account) const;
    bool anyNewMail() const;
    bool suppress() const { return suppress_; }
    int accountIndex() const { return index_; }
    SessionKind sessionKind() const { return kind_; }
    int step() const { return step_; }
    const QString &caption() const { return caption_; }
    // The protocol log of the current cycle (bytes as on the wire, code page 932 text).
    const QByteArray &log() const { return log_; }
    // Lines of another connection of the account's (the push), when the log is kept.
    void appendToLog(QByteArrayView bytes) { appendLog(bytes); }
    bool busy() const { return busy_; }

    static QString captionForTotal(qint32 total);

private:
    // Session layer.
    // Opens the session's connection; false when nothing was opened (the reason is shown).
    bool logon(SessionKind kind);
    QString accountProblem(quint16 &port, SslMode &mode) const;
    void openConnection();
    QString keyringProblem(const QString &reason) const;
    void stlsAnswered(const ReplyReader::Reply &reply);
    QByteArray pin() const;
    void sessionReply(const ReplyReader::Reply &reply);
    bool refusalIsAnAnswer() const;
    static QString refusalText(const ReplyReader::Reply &reply);
    void subSend(const QString &command,
                 ReplyReader::Framing framing = ReplyReader::Framing::StatusLine,
                 qsizetype maxReply = ReplyReader::maxHeaderReply);
    void subDisConn();
    void holdCommands();
    void sendHeld();
    void sendUser();
    void sendPass();
    // OAuth 2.0 sign-in (oauth_login.cpp).
    void requestToken(bool renew);
    void sendAuth();
    void authAnswered(const ReplyReader::Reply &reply);
    void authRefused(const ReplyReader::Reply &reply);
    void tokenRefused();
    QString signInNeeded() const;
    void sessionStep(const ReplyReader::Reply &reply);
    void ShowMsg(const QString &text);
    void sessionError(const QString &message);
    // Shows the message and goes on with the next account one second later.
    void moveOn(const QString &message);
    void closeSession();
    void dropConnection(); // closes the socket and ignores its later events
    void forgetRetiredLinks();
    bool current(ConnId id) const { return open_ && id == conn_; }
    void dispatch(const ReplyReader::Reply &reply);
    void appendLog(QByteArrayView bytes, QByteArrayView tail = {});

    // Sessions: the action for the current step on a positive reply.
    void checkReply(const ReplyReader::Reply &reply);
    void evaluateStat(const QByteArray &statusLine);
    void sendLoginBatch();
    void sendStat();
    bool pipelining() const { return fast_ && caps_.pipelining && !lockstep_; }
    bool pipelinedGroupOut() const;
    void logInAgainInLockstep();
    void logInAgain();
    // What the session's server said to CAPA at the last check (check_capabilities.cpp).
    Capabilities lastCapabilities();
    void rememberCapabilities(const Capabilities &caps);
    // The rows of a changed mailbox (check_headers.cpp).
    void startHeaders();
    void uidlsAnswered(const ReplyReader::Reply &reply);
    void sizesAnswered(const ReplyReader::Reply &reply);
    qsizetype listBound() const;
    const Summary *keptSummary(int message) const;
    void walkHeaders();
    void topCollected(QByteArray block);
    void fileRow(int message, Summary summary);
    void headersDone();
    void forgetKeptSummaries();
    struct Kept {
        KeptOwner owner;
        KeptSummaries set;
        bool loaded = false;
        bool changed = false; // since it was loaded or saved
    };
    Kept &keptSummaries();
    // Retrieve and delete: "UIDL n" for a row without identity the check listed with its id.
    bool confirmsByUidl(int message) const;
    void sendUidlProbe();
    bool uidlConfirmed(const ReplyReader::Reply &reply) const;
    void retrieveReply(const ReplyReader::Reply &reply);
    void retrCollected(QByteArray block);
    void retrieveTarget();
    void sendRetr();
    void deleteReply(const ReplyReader::Reply &reply);
    void probeTarget();
    void probeAnswered(bool sameMessage);
    bool stillSameMessage(const QByteArray &block, int message) const;
    // Why message was left alone: "...のﾒｰﾙは" followed by outcome.
    QString notConfirmed(int message, const QString &outcome) const;

    // Cycles.
    void CycleReset();
    void startCheckCycle(int onlyAccount = 0);
    void CheckNext();
    void RetrNext();
    void DelNext();
    void endCheckCycle();
    void restartTimeup();
    void timeupTick();
    void checkTimerTick();
    void periodicCheck();
    void runDueCheck();
    void scheduleNext();
    bool moreToVisit() const;
    void setCaption(const QString &text);
    void enable(TimerId id, int intervalMs);
    bool startAccountSession(SessionKind kind, const QString &captionLabel);
    QString accountName(int account) const;
    bool wanted(int account, int message) const;
    bool marked(int account, int message) const;
    int nextMessage(int account, int after, bool (Pop3Engine::*want)(int, int) const) const;
    void growTables();

    // IMAP accounts ("Protocol" 1): the session on the connection speaks IMAP, and its link
    // files what it learns (imap_link.cpp).
    class ImapLink;
    void openImapSession();
    struct ImapBox {
        quint32 validity = 0;   // UIDVALIDITY at the last check
        quint32 highestUid = 0; // of the messages that check listed
        bool known = false;
    };

    Options &opt_;
    const SettingsStore &store_;
    MailTable &table_;
    Transport &transport_;
    Timers &timers_;
    EngineView &view_;

    // Session fields.
    ConnId conn_ = 0;
    bool open_ = false;
    SessionKind kind_ = SessionKind::Check;
    int step_ = 0;
    ReplyReader reader_;
    bool holding_ = false; // commands wait in held_ for one write
    QByteArray held_;
    int target_ = 0;       // next RETR or DELE
    qint32 msgCount_ = 0;  // of the STAT reply
    qint64 statSize_ = 0;  // of the STAT reply
    int headerIndex_ = 0;  // the next row to file
    int nextTop_ = 0;      // the next message a TOP may be sent for
    std::deque<int> topsOut_; // messages whose TOP was sent and not yet answered
    std::vector<QByteArray> uidls_; // of messages 1..msgCount_; empty without UIDL
    std::vector<qint64> sizes_;     // of the same messages, from LIST
    AccountRecord account_; // the session's account, as loaded when it opened
    QString host_;
    quint16 port_ = 0;
    bool fast_ = false;     // "Option15value" when the session opened
    Decoding decoding_ = Decoding::Classic; // "Option13value" when the session opened
    Capabilities caps_;     // what the server said; none before CAPA or without it
    bool capaAsked_ = false;
    bool loginPipelined_ = false; // USER and PASS went out together
    bool uidlPipelined_ = false;  // UIDL and LIST went out with STAT
    bool quitQueued_ = false;     // QUIT went out behind the last TOP
    bool lockstep_ = false;       // this account's check sends one command at a time
    bool plainListing_ = false;   // and lists without UIDL, after a list too large
    bool byUidl_ = false;   // the message in hand was confirmed by its unique id
    SslMode sslmode_ = SslMode::None;
    // Where the connection is on its way to encryption.
    enum class TlsStep { Plain, StlsSent, Handshake, Encrypted } tls_ = TlsStep::Plain;
    QByteArray log_;

    // Cycle fields.
    int index_ = 0;
    qint32 total_ = 0;
    bool suppress_ = false;
    int minuteCount_ = 0;
    int timeoutCount_ = 1;
    QString caption_ = QStringLiteral("Lumora");
    QString savedCaption_;
    bool busy_ = false;
    bool hostlessShown_ = false; // "相手先が指定されていません" shown since checkmail
    bool retrieveOrDeleteRunning_ = false;
    bool checking_ = false; // a check cycle is under way
    bool checkDue_ = false; // a periodic check waits for the retrieve or delete to end
    int onlyAccount_ = 0;   // the one account this check visits; 0 for all
    std::vector<qint32> prevCount_;
    std::vector<qint64> prevSize_;
    std::vector<qint32> listed_;
    std::vector<bool> newMail_;
    std::vector<Kept> kept_; // by account
    struct LastCapabilities {
        QString name; // of the server's record in the kept store
        Capabilities caps;
    };
    std::vector<LastCapabilities> lastCaps_; // by account
    KeptStore *keptStore_ = nullptr;
    PasswordSource *passwords_ = nullptr;
    quint64 passwordRequests_ = 0;
    quint64 awaitedPassword_ = 0; // the request the session waits for, 0 when none
    TokenSource *tokens_ = nullptr;
    quint64 awaitedToken_ = 0;    // as awaitedPassword_; the token goes to account_.passw
    bool oauth_ = false;          // the account signs in with OAuth 2.0
    bool tokenRenewed_ = false;   // this account's token was renewed after a refusal
    SaslMechanism mechanism_ = SaslMechanism::XOAuth2;
    int afterAuth_ = 0;           // the step USER would have left the session at
    QByteArray authResponse_;     // the SASL response awaiting the server's "+ ", if any

    std::unique_ptr<ImapLink> imap_;        // the session of an IMAP account's connection
    std::vector<std::unique_ptr<ImapLink>> retiredImap_; // dropped during one of their own calls
    std::vector<ImapBox> imapBoxes_;        // by account

    bool pauseAtEnd_ = true;
    bool reportAll_ = false;
};

} // namespace lum
