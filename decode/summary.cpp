#include "decode/summary.h"

#include "decode/decode_field.h"
#include "decode/header_summary.h"
#include "decode/multipart_cut.h"
#include "decode/text_search.h"

namespace lum {
namespace {

constexpr QByteArrayView kBoundaryParameter = "boundary=";
constexpr QByteArrayView kHeaderEnd = "\r\n\r\n";
constexpr QByteArrayView kTerminator = ".\r\n";

// Takes out every CR LF, also one that only forms when another goes ("\r\r\n\n" is empty
// afterwards, not "\r\n"): the names are shown on one line. One pass, like matching
// brackets: a LF cancels the CR kept just in front of it.
void removeCrLf(QString &text)
{
    QChar *d = text.data();
    qsizetype kept = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (d[i] == u'\n' && kept > 0 && d[kept - 1] == u'\r') {
            --kept;
            continue;
        }
        d[kept++] = d[i];
    }
    text.truncate(kept);
}

} // namespace

void subListSet(const QByteArray &rstrBuf, MailTable &table, int account, int message)
{
    MailRecord *record = table.record(account, message);
    if (!record)
        return;
    const QString subject = summarySubject(rstrBuf);
    const QString from = summaryFrom(rstrBuf);
    MessageIdentity identity = messageIdentity(rstrBuf);
    // A body belongs to one message: another message in the slot (after a deletion on the
    // server the numbers move) must not show it, even with the same From and Subject.
    if (from != record->from || subject != record->subject || identity != record->identity) {
        record->body.clear();
        record->retrieved = false;
    }
    record->attach = findCi(rstrBuf, kBoundaryParameter) >= 0;
    record->from = from;
    record->subject = subject;
    record->mark = false;
    record->identity = std::move(identity);
}

void subListSet2(QByteArray &rstrBuf, MailTable &table, int account, int mno)
{
    MultipartCut cut = cutMultipart(rstrBuf);
    rstrBuf = std::move(cut.text);

    const qsizetype headerEnd = findBytes(rstrBuf, kHeaderEnd);
    QString body;
    if (headerEnd >= 0) {
        QByteArrayView text = QByteArrayView(rstrBuf).sliced(headerEnd + kHeaderEnd.size());
        // The reply's terminating "." line (RFC 1939 §3) is no part of the message.
        if (text == kTerminator || text.endsWith("\r\n" + kTerminator.toByteArray()))
            text.chop(kTerminator.size());
        body = DecodeField(text, false, false);
    }
    body.remove(QLatin1Char('\t'));

    QString names;
    for (const QByteArray &name : std::as_const(cut.names)) {
        names += QLatin1Char('"');
        names += DecodeField(name, true, false);
        names += QLatin1String("\" ");
    }
    names.remove(QLatin1Char('\t'));
    removeCrLf(names);

    MailRecord *record = table.record(account, mno);
    if (!record)
        return;
    record->body = body;
    record->retrieved = true;
    record->attach = cut.found;
    record->attachNames = names;
}

} // namespace lum
