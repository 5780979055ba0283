#pragma once
// Filing POP3 replies in the mail table.

#include "decode/mail_table.h"

namespace lum {

// From one TOP reply (header block and first body lines): From, Subject, Attach, Mark
// cleared, identity; the Body is emptied when From or Subject changed. A number outside
// the table changes nothing.
void subListSet(const QByteArray &rstrBuf, MailTable &table, int account, int message);

// From one complete RETR reply: Body, Attach and AttachNames of message mno. rstrBuf comes
// back shortened (multipart cut and cleaned) as it is written to the log.
void subListSet2(QByteArray &rstrBuf, MailTable &table, int account, int mno);

} // namespace lum
