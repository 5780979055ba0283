// libFuzzer target: any bytes as a TOP reply and as a RETR reply.

#include "decode/summary.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray reply(reinterpret_cast<const char *>(data), qsizetype(size));
    lum::MailTable table(1);

    lum::subListSet(reply, table, 1, 1);
    const lum::MailRecord &rec = *table.record(1, 1);
    if (rec.from.contains(QLatin1Char('\t')) || rec.subject.contains(QLatin1Char('\t')) || rec.mark)
        std::abort();

    QByteArray buf = reply;
    lum::subListSet2(buf, table, 1, 1);
    if (buf.size() > reply.size() || rec.body.contains(QLatin1Char('\t'))
        || rec.attachNames.contains(QLatin1Char('\t')) || rec.attachNames.contains(QStringLiteral("\r\n"))
        || rec.attach == rec.attachNames.isEmpty())
        std::abort();
    return 0;
}
