#pragma once
// Filing POP3 replies in the mail table.

#include "decode/mail_table.h"

namespace lum {

// Classic: ISO-2022-JP words and bodies only, as Japanese mail has long been sent.
// Modern: every charset, B and Q words, MIME bodies and RFC 2231 names ("Option13value").
enum class Decoding { Classic, Modern };

// What the list shows of one message and what identifies it, read from its TOP reply.
struct Summary {
    QString from;
    QString subject;
    bool attach = false;
    MessageIdentity identity;

    bool operator==(const Summary &) const = default;
};

Summary summaryOf(const QByteArray &topReply, Decoding decoding);

// Files summary as the row of message: From, Subject, Attach, Mark cleared, identity; the
// Body is emptied when From, Subject or the identity changed. A number outside the table
// changes nothing.
void fileSummary(Summary summary, MailTable &table, int account, int message);

// From one TOP reply (header block and first body lines): fileSummary(summaryOf(...)).
void subListSet(const QByteArray &rstrBuf, MailTable &table, int account, int message,
                Decoding decoding = Decoding::Classic);

// From one complete RETR reply: Body, Attach and AttachNames of message mno. rstrBuf comes
// back shortened (multipart cut and cleaned) as it is written to the log.
void subListSet2(QByteArray &rstrBuf, MailTable &table, int account, int mno,
                 Decoding decoding = Decoding::Classic);

} // namespace lum
