// libFuzzer target: any bytes as a TOP reply and as a RETR reply, with either decoding.

#include "decode/summary.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray reply(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const lum::Decoding decoding : {lum::Decoding::Classic, lum::Decoding::Modern}) {
        lum::MailTable table(1);
        lum::subListSet(reply, table, 1, 1, decoding);
        const lum::MailRecord &rec = *table.record(1, 1);
        if (rec.from.contains(QLatin1Char('\t')) || rec.subject.contains(QLatin1Char('\t')) || rec.mark)
            std::abort();

        QByteArray buf = reply;
        lum::subListSet2(buf, table, 1, 1, decoding);
        if (buf.size() > reply.size() || rec.body.contains(QLatin1Char('\t'))
            || rec.attachNames.contains(QLatin1Char('\t')) || rec.attachNames.contains(QStringLiteral("\r\n")))
            std::abort();
        // Names are listed only for a message with attachments; the classic reading lists
        // one for each (a modern one also counts a part marked as attachment without a name).
        if (!rec.attach && !rec.attachNames.isEmpty())
            std::abort();
        if (decoding == lum::Decoding::Classic && rec.attach == rec.attachNames.isEmpty())
            std::abort();
    }
    return 0;
}
