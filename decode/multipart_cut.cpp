#include "decode/multipart_cut.h"

#include "decode/text_search.h"

#include <algorithm>

namespace lum {
namespace {

constexpr QByteArrayView kQuotedBoundary = "boundary=\"";
constexpr QByteArrayView kPartHeader = "\r\nContent-Type: ";
constexpr QByteArrayView kQuotedName = "name=\"";
constexpr QByteArrayView kNameEnd = "\"\r\n";
constexpr QByteArrayView kBlankLine = "\r\n\r\n";
constexpr QByteArrayView kPreambleLine = "\r\nThis is a multi-part message in MIME format.";
constexpr qsizetype kNameReach = 300;
constexpr qsizetype kTextBound = 5000;

// The limits below count characters of the received text, code page 932: a double-byte
// character is one, so a cut never falls inside one.
bool isLeadByte(uchar b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

bool isTrailByte(uchar b)
{
    return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}

// The offset `chars` characters after from, or the end of text when it is shorter.
qsizetype afterChars(QByteArrayView text, qsizetype from, qsizetype chars)
{
    qsizetype i = from;
    for (; chars > 0 && i < text.size(); --chars) {
        const bool pair = isLeadByte(uchar(text[i])) && i + 1 < text.size() && isTrailByte(uchar(text[i + 1]));
        i += pair ? 2 : 1;
    }
    return i;
}

// Length of the text in front of the delimiter line of a part whose boundary string starts
// at part: the "--" goes, the line break before it stays.
qsizetype keptBefore(qsizetype part)
{
    return std::max<qsizetype>(part - 2, 0);
}

} // namespace

MultipartCut cutMultipart(const QByteArray &reply)
{
    MultipartCut out;
    out.text = reply;
    QByteArray &text = out.text;
    const qsizetype parameter = findCi(text, kQuotedBoundary);
    if (parameter < 0)
        return out;

    const qsizetype value = parameter + kQuotedBoundary.size();
    const qsizetype quote = findBytes(text, "\"", value + 1);
    const QByteArray boundary = quote < 0 ? QByteArray() : text.sliced(value, quote - value);

    if (!boundary.isEmpty()) {
        const QByteArray partStart = boundary + kPartHeader.toByteArray();
        // A nested multipart declares its own boundary further on; parts are looked for
        // from there, still delimited by the outer boundary.
        const qsizetype inner = findCi(text, kQuotedBoundary, parameter + 1);
        qsizetype search = inner >= 0 ? inner : parameter;

        const Occurrences parts(text, partStart, true);
        const Occurrences names(text, kQuotedName, true);
        const Occurrences nameEnds(text, kNameEnd, false);
        const Occurrences blankLines(text, kBlankLine, false);
        qsizetype cut = -1;
        for (;;) {
            const qsizetype part = parts.next(search);
            if (part < 0)
                break;
            const qsizetype nextPart = parts.next(part + 1);
            // The part's own header: up to its blank line, or up to the next part when it
            // has none.
            qsizetype headerEnd = blankLines.next(part);
            if (headerEnd < 0)
                headerEnd = text.size();
            if (nextPart >= 0)
                headerEnd = std::min(headerEnd, nextPart);
            const qsizetype name = names.next(part);
            if (name >= 0 && name < headerEnd && name <= afterChars(text, part, kNameReach)) {
                const qsizetype nameStart = name + kQuotedName.size();
                const qsizetype nameEnd = nameEnds.next(nameStart);
                out.names.append(nameEnd >= 0 && nameEnd < headerEnd
                                     ? text.sliced(nameStart, nameEnd - nameStart)
                                     : QByteArray());
                if (cut < 0)
                    cut = std::min(keptBefore(part), afterChars(text, 0, kTextBound));
                out.found = true;
                search = name + 1;
                continue;
            }
            search = part + 1;
            if (nextPart >= 0)
                continue;
            text.truncate(keptBefore(part)); // the last part, with its delimiter line
            break;
        }
        if (out.found)
            text.truncate(cut);

        // The first part's delimiter line and header go; its body joins the preamble.
        const qsizetype first = findCi(text, partStart);
        if (first >= 2) {
            const qsizetype blank = findBytes(text, kBlankLine, first);
            if (blank >= 0)
                text = text.first(first - 2) + text.sliced(blank + kBlankLine.size());
        }
    }
    if (findBytes(text, kPreambleLine) >= 0) // no copy of a whole message for nothing
        text = removeAll(text, kPreambleLine);
    return out;
}

} // namespace lum
