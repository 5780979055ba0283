#include "decode/mail_table.h"

#include <QByteArrayView>

namespace lum {
namespace {

bool startsWithCi(QByteArrayView line, QByteArrayView name)
{
    if (line.size() < name.size())
        return false;
    for (qsizetype i = 0; i < name.size(); ++i) {
        char c = line[i];
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
        if (c != name[i])
            return false;
    }
    return true;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

} // namespace

// One pass over the header block (it ends at the first empty line); each field is taken at
// its first occurrence at a line start, its value from behind the colon through its folded
// continuation lines (RFC 5322 §2.2.3), without the final line break. Lines may end in
// CR LF or in LF alone.
MessageIdentity messageIdentity(const QByteArray &headerBlock)
{
    struct Field {
        QByteArrayView name;
        qsizetype start = -1;
        qsizetype end = -1;
    };
    Field fields[] = {{"message-id:"}, {"date:"}, {"from:"}, {"subject:"}};
    Field *open = nullptr;

    const QByteArrayView text(headerBlock);
    qsizetype pos = 0;
    while (pos < text.size()) {
        qsizetype eol = text.indexOf('\n', pos);
        const qsizetype next = eol < 0 ? text.size() : eol + 1;
        if (eol < 0)
            eol = text.size();
        qsizetype contentEnd = eol;
        if (contentEnd > pos && text[contentEnd - 1] == '\r')
            --contentEnd;
        const QByteArrayView line = text.sliced(pos, contentEnd - pos);
        if (line.isEmpty())
            break;
        if (isBlank(line[0])) {
            if (open)
                open->end = contentEnd;
        } else {
            open = nullptr;
            for (Field &f : fields) {
                if (f.start < 0 && startsWithCi(line, f.name)) {
                    f.start = pos;
                    f.end = contentEnd;
                    open = &f;
                    break;
                }
            }
        }
        pos = next;
    }

    auto raw = [&](const Field &f) {
        if (f.start < 0)
            return QByteArray();
        const qsizetype valueStart = f.start + f.name.size();
        return headerBlock.sliced(valueStart, f.end - valueStart);
    };
    MessageIdentity id;
    id.messageId = raw(fields[0]).trimmed();
    if (id.messageId.isEmpty()) {
        id.date = raw(fields[1]);
        id.from = raw(fields[2]);
        id.subject = raw(fields[3]);
    }
    return id;
}

} // namespace lum
