// The reader for today's mail on arbitrary bytes: a header value and a whole message. No
// crash and no NUL in the text.
#include "decode/modern_message.h"
#include "decode/modern_text.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, unsigned long size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString header = lum::decodeHeaderText(bytes);
    const lum::ModernMessage message = lum::readModernMessage(bytes);
    if (header.contains(QChar(0)) || message.body.contains(QChar(0)))
        std::abort();
    return 0;
}
