#include "decode/header_summary.h"

#include "decode/decode_field.h"
#include "decode/encoded_words.h"
#include "decode/text_search.h"
#include "platform/codepage.h"

namespace lum {
namespace {

constexpr QByteArrayView kSubjectName = "SUBJECT: ";
constexpr QByteArrayView kFromName = "FROM: ";
constexpr QByteArrayView kCrLf = "\r\n";

bool isFoldBlank(char c)
{
    return c == ' ' || c == '\t';
}

QString withoutTabs(QString text)
{
    text.remove(QLatin1Char('\t'));
    return text;
}

} // namespace

QString summarySubject(const QByteArray &reply)
{
    const qsizetype name = findCi(reply, kSubjectName);
    if (name < 0)
        return {};
    const qsizetype start = name + kSubjectName.size();
    const QByteArrayView view(reply);
    if (findBytes(reply, kCrLf, start) < 0) {
        const qsizetype opener = findCi(reply, kWordOpener, start);
        if (opener < 0)
            return {};
        return withoutTabs(decodeCp932(view.sliced(start, opener - start)));
    }

    // Unfold. Unlike RFC 5322 §2.2.3 the blanks that start a continuation line go with the
    // line break, so the lines join with no separator: an encoded word folded onto the next
    // line joins the one before it seamlessly.
    QByteArray value;
    qsizetype pos = start;
    for (;;) {
        const qsizetype lineEnd = findBytes(reply, kCrLf, pos);
        if (lineEnd < 0) {
            value.append(view.sliced(pos));
            break;
        }
        value.append(view.sliced(pos, lineEnd - pos));
        qsizetype next = lineEnd + kCrLf.size();
        if (next >= reply.size() || !isFoldBlank(reply[next]))
            break;
        while (next < reply.size() && isFoldBlank(reply[next]))
            ++next;
        pos = next;
    }
    value = removeAll(value, "\t");
    return withoutTabs(DecodeField(value, true, true));
}

QString summaryFrom(const QByteArray &reply)
{
    const qsizetype name = findCi(reply, kFromName);
    if (name < 0)
        return {};
    const qsizetype start = name + kFromName.size();
    const qsizetype lineEnd = findBytes(reply, kCrLf, start);
    if (lineEnd < 0)
        return {};
    return withoutTabs(DecodeField(reply.sliced(start, lineEnd - start), true, false));
}

} // namespace lum
