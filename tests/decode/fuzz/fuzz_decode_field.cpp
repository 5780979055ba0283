// libFuzzer target: any bytes through the field pipeline with every flag combination.

#include "decode/decode_field.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray field(reinterpret_cast<const char *>(data), qsizetype(size));
    for (int flags = 0; flags < 4; ++flags) {
        const QString text = lum::DecodeField(field, flags & 1, flags & 2);
        if (text.contains(QChar(0)))
            std::abort(); // NUL bytes never reach the list or the viewer
    }
    return 0;
}
