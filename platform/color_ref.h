#pragma once
// Colours as the settings store keeps them: a 32-bit number laid out 0x00BBGGRR (red in the
// low byte). 0xFFFF80 is red 0x80, green 0xFF, blue 0xFF (light cyan).

#include <QColor>

namespace lum {

// The top byte is ignored, so any stored number gives some colour.
inline QColor fromColorRef(qint32 ref)
{
    const quint32 v = quint32(ref);
    return QColor(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF));
}

inline qint32 toColorRef(const QColor &c)
{
    const QColor rgb = c.toRgb();
    return qint32(quint32(rgb.red()) | (quint32(rgb.green()) << 8) | (quint32(rgb.blue()) << 16));
}

} // namespace lum
