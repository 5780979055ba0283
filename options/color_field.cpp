#include "options/color_field.h"

#include <QPainter>

namespace lum {

void ColorField::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QRect face = rect().adjusted(0, 0, -1, -1);
    p.fillRect(face, color_);
    p.setPen(hasFocus() ? palette().color(QPalette::Highlight) : QColor(Qt::gray));
    p.drawRect(face);
}

} // namespace lum
