#include "platform/builtin_icons.h"

#include <QPainter>
#include <QPainterPath>

namespace lum {

void drawEnvelope(QPainter &p, const QRectF &r, const QColor &paper)
{
    p.setPen(QPen(QColor(60, 60, 60), r.width() / 16.0));
    p.setBrush(paper);
    p.drawRect(r);
    QPainterPath flap;
    flap.moveTo(r.topLeft());
    flap.lineTo(r.center().x(), r.top() + r.height() * 0.6);
    flap.lineTo(r.topRight());
    p.setBrush(Qt::NoBrush);
    p.drawPath(flap);
}

void drawDownArrow(QPainter &p, qreal s, qreal tipY)
{
    const qreal shoulder = tipY - s * 0.25;
    QPainterPath arrow;
    arrow.moveTo(s * 0.40, s * 0.02);
    arrow.lineTo(s * 0.60, s * 0.02);
    arrow.lineTo(s * 0.60, shoulder);
    arrow.lineTo(s * 0.75, shoulder);
    arrow.lineTo(s * 0.50, tipY);
    arrow.lineTo(s * 0.25, shoulder);
    arrow.lineTo(s * 0.40, shoulder);
    arrow.closeSubpath();
    p.setPen(QPen(QColor(20, 40, 120), s / 32.0));
    p.setBrush(QColor(40, 110, 230));
    p.drawPath(arrow);
}

QImage builtInIconImage(BuiltInIcon which, int side)
{
    side = qMax(side, 8);
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = side;
    const QRectF envelope(s * 0.08, s * 0.25, s * 0.84, s * 0.56);

    switch (which) {
    case BuiltInIcon::Normal:
        drawEnvelope(p, envelope, QColor(245, 245, 235));
        break;
    case BuiltInIcon::Working: {
        drawEnvelope(p, envelope, QColor(245, 245, 235));
        // A blue arrow pointing down into the envelope: mail is being fetched.
        drawDownArrow(p, s, s * 0.55);
        break;
    }
    case BuiltInIcon::Arrival:
        drawEnvelope(p, envelope, QColor(255, 240, 150));
        // A red disc in the upper right corner: new mail.
        p.setPen(QPen(QColor(120, 0, 0), s / 32.0));
        p.setBrush(QColor(220, 30, 30));
        p.drawEllipse(QRectF(s * 0.58, s * 0.02, s * 0.40, s * 0.40));
        break;
    }
    return image;
}

} // namespace lum
