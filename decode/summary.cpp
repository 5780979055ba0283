#include "decode/summary.h"

#include "decode/decode_field.h"
#include "decode/header_summary.h"
#include "decode/modern_message.h"
#include "decode/modern_text.h"
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

// A header field as the list shows it with the modern reader: unfolded, decoded, no TAB.
QString listField(QByteArrayView header, QByteArrayView name)
{
    QString text = decodeHeaderText(headerField(header, name)).trimmed();
    text.remove(QLatin1Char('\t'));
    return text;
}

// The attachment names on one line, each in double quotes and followed by a blank.
QString nameList(const QStringList &names)
{
    QString list;
    for (const QString &name : names)
        list += QLatin1Char('"') + name + QLatin1String("\" ");
    list.remove(QLatin1Char('\t'));
    removeCrLf(list);
    return list;
}

// The message of a RETR reply without the reply's terminating "." line (RFC 1939 §3).
QByteArrayView withoutTerminator(QByteArrayView text)
{
    if (text == kTerminator || text.endsWith("\r\n" + kTerminator.toByteArray()))
        text.chop(kTerminator.size());
    return text;
}

} // namespace

Summary summaryOf(const QByteArray &topReply, Decoding decoding)
{
    Summary s;
    if (decoding == Decoding::Modern) {
        const QByteArrayView header = headerOf(messageOfReply(topReply));
        s.subject = listField(header, "Subject");
        s.from = listField(header, "From");
    } else {
        s.subject = summarySubject(topReply);
        s.from = summaryFrom(topReply);
    }
    s.attach = findCi(topReply, kBoundaryParameter) >= 0;
    s.identity = messageIdentity(topReply);
    return s;
}

void fileSummary(Summary summary, MailTable &table, int account, int message)
{
    MailRecord *record = table.record(account, message);
    if (!record)
        return;
    // A body belongs to one message: another message in the slot (after a deletion on the
    // server the numbers move) must not show it, even with the same From and Subject.
    if (summary.from != record->from || summary.subject != record->subject
        || summary.identity != record->identity) {
        record->body.clear();
        record->retrieved = false;
    }
    record->attach = summary.attach;
    record->from = std::move(summary.from);
    record->subject = std::move(summary.subject);
    record->mark = false;
    record->identity = std::move(summary.identity);
}

void subListSet(const QByteArray &rstrBuf, MailTable &table, int account, int message,
                Decoding decoding)
{
    if (!table.record(account, message))
        return;
    fileSummary(summaryOf(rstrBuf, decoding), table, account, message);
}

void subListSet2(QByteArray &rstrBuf, MailTable &table, int account, int mno, Decoding decoding)
{
    if (decoding == Decoding::Modern) {
        const ModernMessage m = readModernMessage(withoutTerminator(messageOfReply(rstrBuf)));
        rstrBuf = cutMultipart(rstrBuf).text; // the log shows the reply as always
        MailRecord *record = table.record(account, mno);
        if (!record)
            return;
        record->body = m.body;
        record->retrieved = true;
        record->attach = m.attach;
        record->attachNames = nameList(m.names);
        return;
    }
    MultipartCut cut = cutMultipart(rstrBuf);
    rstrBuf = std::move(cut.text);

    const qsizetype headerEnd = findBytes(rstrBuf, kHeaderEnd);
    QString body;
    if (headerEnd >= 0) {
        body = DecodeField(withoutTerminator(QByteArrayView(rstrBuf).sliced(headerEnd + kHeaderEnd.size())),
                           false, false);
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
