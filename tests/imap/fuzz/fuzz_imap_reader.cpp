// libFuzzer target: the IMAP response reader on arbitrary server bytes. The first byte
// chooses where the rest is cut into two chunks; the reader must hand out exactly what it
// hands out for the whole input at once, stay within its bounds, and never crash or loop.
// Every string it hands out also goes through the text helpers that read server text.

#include "imap/imap_text.h"
#include "imap/response_reader.h"

#include <QList>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

using namespace lum;

// Small bounds, so inputs of a few KiB reach each of them.
const ImapReader::Limits limits{4096, 2048, 8192, 8, 2048};

void readStrings(const ImapValue &v)
{
    if (v.kind == ImapValue::Kind::String || v.kind == ImapValue::Kind::Atom)
        (void)decodeMailboxName(v.text);
    for (const ImapValue &item : v.items)
        readStrings(item);
}

struct Outcome {
    QByteArrayList raws;
    ImapReader::Result last = ImapReader::Result::NeedData;
};

Outcome read(const QList<QByteArrayView> &chunks)
{
    ImapReader reader;
    reader.setLimits(limits);
    Outcome out;
    for (QByteArrayView chunk : chunks) {
        reader.feed(chunk);
        ImapResponse r;
        while ((out.last = reader.next(r)) == ImapReader::Result::Response) {
            if (r.raw.size() > limits.line + 2 * qsizetype(r.raw.count('\n')) + limits.literals)
                std::abort(); // a response beyond its bounds
            out.raws.append(r.raw);
            (void)searchUids(r, 1000);
            for (const ImapValue &v : r.values)
                readStrings(v);
        }
        if (reader.bufferedBytes() > limits.line + limits.literals + chunk.size())
            std::abort(); // holding more than the bounds allow
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArrayView input(reinterpret_cast<const char *>(data) + 1, qsizetype(size - 1));
    const qsizetype cut = std::min<qsizetype>(data[0], input.size());
    const Outcome whole = read({input});
    const Outcome split = read({input.first(cut), input.sliced(cut)});
    if (whole.raws != split.raws || whole.last != split.last)
        std::abort(); // the result depends on how the bytes arrived
    return 0;
}
