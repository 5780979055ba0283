// libFuzzer target: the IMAP response reader on arbitrary server bytes, within bounds small
// enough for inputs of a few KiB to reach. The first byte chooses where the rest is cut in
// two; the reader must hand out what it hands out for the whole input, hold no more than
// its bounds, and never crash or loop. The helpers that read server text get the same bytes.

#include "imap/imap_text.h"
#include "imap/response_reader.h"

#include <QList>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace {

using namespace lum;

const ImapReader::Limits limits{4096, 2048, 8192, 8, 2048};

// The raw bytes of each response handed out, then the reason the reading stopped.
QByteArrayList read(const QList<QByteArrayView> &chunks)
{
    ImapReader reader;
    reader.setLimits(limits);
    QByteArrayList out;
    ImapReader::Result last = ImapReader::Result::NeedData;
    for (QByteArrayView chunk : chunks) {
        reader.feed(chunk);
        ImapResponse r;
        while ((last = reader.next(r)) == ImapReader::Result::Response) {
            out.append(r.raw);
            (void)searchUids(r, 1000);
        }
        if (reader.bufferedBytes() > limits.line + limits.literals + chunk.size())
            std::abort(); // holding more than the bounds allow
    }
    out.append(QByteArray::number(int(last)));
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArrayView input(reinterpret_cast<const char *>(data) + 1, qsizetype(size - 1));
    const qsizetype cut = std::min<qsizetype>(data[0], input.size());
    if (read({input}) != read({input.first(cut), input.sliced(cut)}))
        std::abort(); // what is read depends on how the bytes arrived
    (void)decodeMailboxName(input);
    return 0;
}
