#pragma once
// Filing POP3 replies in the mail table.

#include "decode/mail_table.h"

namespace lum {

// Classic: ISO-2022-JP words and bodies only, as Japanese mail has long been sent.
// Modern: every charset, B and Q words, MIME bodies and RFC 2231 names ("Option13value").
enum class Decoding { Classic, Modern };

// From one TOP reply (header block and first body lines): From, Subject, Attach, Mark
// cleared, identity; the Body is emptied when From or Subject changed. A number outside
// the table changes nothing.
void subListSet(const QByteArray &rstrBuf, MailTable &table, int account, int message,
                Decoding decoding = Decoding::Classic);

// From one complete RETR reply: Body, Attach and AttachNames of message mno. rstrBuf comes
// back shortened (multipart cut and cleaned) as it is written to the log.
void subListSet2(QByteArray &rstrBuf, MailTable &table, int account, int mno,
                 Decoding decoding = Decoding::Classic);

} // namespace lum
