#pragma once
// The engine's side of an IMAP account's connection: the ImapSession speaks the protocol,
// the link gives it the account's login and task and files what it learns as the POP3
// sessions do — rows in the mail table from the summaries kept by UIDVALIDITY and UID,
// message texts, the deletion's outcome — then hands the connection back to the cycle.

#include "imap/imap_session.h"
#include "pop3/engine.h"

#include <memory>

namespace lum {

class Pop3Engine::ImapLink : public ImapSessionHost {
public:
    ImapLink(Pop3Engine &engine, ImapLogin login, ImapJob job);

    ImapSession &session() { return session_; }

    void send(const QByteArray &bytes, const QByteArray &logged) override;
    void logResponse(const QByteArray &raw) override;
    void startTls() override;
    std::vector<quint32> listed(quint32 uidValidity, const std::vector<quint32> &uids) override;
    void headerFetched(quint32 uid, qint64 size, const QByteArray &header) override;
    void messageFetched(quint32 uid, const QByteArray &message) override;
    void messageGone(quint32 uid) override;
    void deleted(const std::vector<quint32> &uids, bool expunged) override;
    void mailboxChanged() override;
    void tokenRefused(const QString &serverText) override;
    void finished(const QString &error) override;

private:
    QByteArray keptKey(quint32 uid) const;
    int rowOf(quint32 uid) const;
    void fileRows();

    Pop3Engine &engine_;
    QByteArray mailbox_;
    quint32 validity_ = 0;
    std::vector<quint32> uids_; // check: the unseen messages, in the order of their rows
    bool listedAll_ = false;    // check: the listing came
    bool tokenRefused_ = false;
    ImapSession session_;
};

} // namespace lum
