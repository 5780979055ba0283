#pragma once
// The mail table: one MailRecord per account and message number, as filled by the check
// (header summary) and the retrieve session (body and attachment names).

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

namespace lum {

// What identifies a message across sessions, taken from its header block: the Message-ID
// value, or when there is none the raw Date, From and Subject lines. Two replies show the
// same message exactly when their identities are equal.
// messageId is the value without surrounding blanks; date, from and subject are the raw
// values behind the colon, folded lines included, and stay empty when there is a Message-ID.
struct MessageIdentity {
    QByteArray messageId;
    QByteArray date;
    QByteArray from;
    QByteArray subject;

    bool operator==(const MessageIdentity &) const = default;
    // Nothing was read: no Message-ID, Date, From or Subject, or no header at all. Such an
    // identity matches any other empty one and so confirms nothing.
    bool isEmpty() const
    {
        return messageId.isEmpty() && date.isEmpty() && from.isEmpty() && subject.isEmpty();
    }
};

MessageIdentity messageIdentity(const QByteArray &headerBlock);

struct MailRecord {
    QString from;        // decoded, without TAB
    QString subject;     // decoded, unfolded, without TAB
    bool mark = false;   // marked by the user for retrieve/delete
    bool attach = false; // has attachments
    QString attachNames; // each as "name" followed by one blank
    QString body;        // decoded body once retrieved; emptied when another message takes the slot
    // The message was retrieved (its body may be empty: an attachment-only message); cleared
    // with the body.
    bool retrieved = false;
    MessageIdentity identity; // of the message the check filed here
    QByteArray uidl;          // its unique id, when the server listed them (UIDL); IMAP: its UID
    // IMAP: whether the message came since the last check (its UID above that check's
    // highest). Unset for POP3, whose list takes the messages beyond its last count as new.
    std::optional<bool> arrived;
};

// Accounts 1..accountCount, each with message numbers 1..messageSlots(account) (at least
// 10); an account grows with its own messages, keeping its contents. Numbers outside the
// table name no record.
class MailTable {
public:
    explicit MailTable(int accountCount = 0);

    // Created anew: every account with message slots 1..10, all records empty.
    void reset(int accountCount);
    // Grows the message dimension of every account to at least count slots.
    void ensureMessages(int count);
    // Grows one account to at least count slots.
    void ensureMessages(int account, int count);

    int accountCount() const;
    // The most slots of any account.
    int messageSlots() const;
    // The slots of one account; 0 for a number outside the table.
    int messageSlots(int account) const;

    MailRecord *record(int account, int message);
    const MailRecord *record(int account, int message) const;

private:
    std::vector<std::vector<MailRecord>> records_; // per account, by message number - 1
};

} // namespace lum
