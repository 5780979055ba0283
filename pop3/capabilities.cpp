#include "pop3/capabilities.h"

#include <QList>
#include <QSet>

namespace lum {

namespace {

// The data lines of a multi-line reply: after the status line, before the ".".
QList<QByteArray> dataLines(const QByteArray &block)
{
    QList<QByteArray> lines = block.split('\n');
    for (QByteArray &line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }
    if (!lines.isEmpty())
        lines.removeFirst(); // the status line
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    if (!lines.isEmpty() && lines.last() == ".")
        lines.removeLast();
    return lines;
}

bool validUidl(const QByteArray &id)
{
    if (id.isEmpty() || id.size() > 70)
        return false;
    for (char c : id) {
        if (c < 0x21 || c > 0x7E)
            return false;
    }
    return true;
}

std::optional<UniqueId> uniqueId(const QByteArray &line)
{
    const QList<QByteArray> words = line.simplified().split(' ');
    if (words.size() != 2)
        return std::nullopt;
    bool ok = false;
    const int n = words[0].toInt(&ok);
    if (!ok || n < 1 || !validUidl(words[1]))
        return std::nullopt;
    return UniqueId{n, words[1]};
}

} // namespace

Capabilities parseCapabilities(const QByteArray &block)
{
    Capabilities caps;
    if (!block.startsWith("+OK"))
        return caps;
    for (const QByteArray &line : dataLines(block)) {
        const QList<QByteArray> words = line.simplified().toUpper().split(' ');
        const QByteArray &name = words.first();
        if (name == "PIPELINING")
            caps.pipelining = true;
        else if (name == "UIDL")
            caps.uidl = true;
        else if (name == "TOP")
            caps.top = true;
        else if (name == "STLS")
            caps.stls = true;
        else if (name == "SASL") {
            for (qsizetype i = 1; i < words.size(); ++i)
                caps.sasl << QString::fromLatin1(words[i]);
        }
    }
    return caps;
}

std::optional<std::vector<UniqueId>> parseUidlList(const QByteArray &block)
{
    if (!block.startsWith("+OK"))
        return std::nullopt;
    std::vector<UniqueId> ids;
    QSet<QByteArray> seen;
    for (const QByteArray &line : dataLines(block)) {
        const std::optional<UniqueId> id = uniqueId(line);
        if (!id || (!ids.empty() && id->message <= ids.back().message) || seen.contains(id->uidl))
            return std::nullopt;
        seen.insert(id->uidl);
        ids.push_back(*id);
    }
    return ids;
}

std::optional<std::vector<qint64>> parseScanList(const QByteArray &block)
{
    if (!block.startsWith("+OK"))
        return std::nullopt;
    std::vector<qint64> sizes;
    for (const QByteArray &line : dataLines(block)) {
        const QList<QByteArray> words = line.simplified().split(' ');
        bool numberOk = false, sizeOk = false;
        const qint64 n = words.value(0).toLongLong(&numberOk);
        const qint64 size = words.value(1).toLongLong(&sizeOk);
        // RFC 1939 §5 allows more after the size.
        if (!numberOk || !sizeOk || size < 0 || n != qint64(sizes.size()) + 1)
            return std::nullopt;
        sizes.push_back(size);
    }
    return sizes;
}

std::optional<UniqueId> parseUidlLine(const QByteArray &statusLine)
{
    if (!statusLine.startsWith("+OK "))
        return std::nullopt;
    return uniqueId(statusLine.mid(4).trimmed());
}

} // namespace lum
