#include "platform/wav_length.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

namespace lum {

qint64 wavLengthMs(const QString &path)
{
    // A FIFO or a device would block the open or the reads for good.
    if (!isRegularFile(path))
        return -1;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray riff = file.read(12);
    if (riff.size() < 12 || !riff.startsWith("RIFF") || riff.mid(8, 4) != "WAVE")
        return -1;
    quint32 byteRate = 0;
    // Chunks: a four-letter id, a little-endian size, the body padded to an even length.
    for (;;) {
        const QByteArray head = file.read(8);
        if (head.size() < 8)
            return -1;
        const qint64 size = qFromLittleEndian<quint32>(head.constData() + 4);
        const qint64 body = file.pos();
        if (head.startsWith("fmt ")) {
            // Format, channels, sample rate, byte rate, block align, bits: 16 bytes at least.
            const QByteArray fmt = file.read(12);
            if (size < 16 || fmt.size() < 12)
                return -1;
            byteRate = qFromLittleEndian<quint32>(fmt.constData() + 8);
        } else if (head.startsWith("data")) {
            if (byteRate == 0)
                return -1;
            const qint64 bytes = qMin(size, file.size() - body);
            return qMin((bytes * 1000 + byteRate - 1) / byteRate, wavLengthCapMs);
        }
        if (!file.seek(body + size + (size & 1)))
            return -1;
    }
}

bool isRegularFile(const QString &path)
{
    return QFileInfo(path).isFile();
}

} // namespace lum
