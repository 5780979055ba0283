#include "checker/pictures.h"

#include "platform/builtin_icons.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>

namespace lum {

namespace {

QImage canvas(int side)
{
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

void drawSmallEnvelope(QPainter &p, qreal s)
{
    drawEnvelope(p, QRectF(s * 0.06, s * 0.22, s * 0.70, s * 0.50), QColor(250, 250, 240));
}

// A mail program: an envelope with the program's number on a green disc.
void drawMailer(QPainter &p, qreal s, const QString &digit)
{
    drawSmallEnvelope(p, s);
    const QRectF disc(s * 0.46, s * 0.44, s * 0.54, s * 0.54);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 140, 60));
    p.drawEllipse(disc);
    QFont f = p.font();
    f.setPixelSize(int(s * 0.46));
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(disc, Qt::AlignCenter, digit);
}

// Retrieve: a blue arrow down onto a tray.
void drawRetrieve(QPainter &p, qreal s)
{
    drawDownArrow(p, s, s * 0.72);
    p.setPen(QPen(QColor(60, 60, 60), s / 10.0, Qt::SolidLine, Qt::SquareCap));
    p.drawLine(QPointF(s * 0.10, s * 0.90), QPointF(s * 0.90, s * 0.90));
}

// Delete: a red cross.
void drawDelete(QPainter &p, qreal s)
{
    p.setPen(QPen(QColor(200, 30, 30), s / 6.0, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(s * 0.2, s * 0.2), QPointF(s * 0.8, s * 0.8));
    p.drawLine(QPointF(s * 0.8, s * 0.2), QPointF(s * 0.2, s * 0.8));
}

} // namespace

QPixmap toolPicture(ToolPicture which, int side)
{
    QImage image = canvas(std::max(side, 8));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = image.width();
    switch (which) {
    case ToolPicture::Mailer1:
        drawMailer(p, s, QStringLiteral("1"));
        break;
    case ToolPicture::Mailer2:
        drawMailer(p, s, QStringLiteral("2"));
        break;
    case ToolPicture::Retrieve:
        drawRetrieve(p, s);
        break;
    case ToolPicture::Delete:
        drawDelete(p, s);
        break;
    }
    p.end();
    return QPixmap::fromImage(image);
}

QPixmap boundPicture()
{
    QImage image = canvas(32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    // Two nested loops of wire, open at the top right, as a clip is bent.
    QPainterPath clip;
    clip.moveTo(19, 8);
    clip.lineTo(19, 24);
    clip.arcTo(QRectF(13, 21, 6, 6), 0, -180);
    clip.lineTo(13, 6);
    clip.arcTo(QRectF(13, 2, 8, 8), 180, -180);
    clip.lineTo(21, 26);
    clip.arcTo(QRectF(11, 22, 10, 9), 0, -180);
    clip.lineTo(11, 10);
    p.drawPath(clip);
    p.end();
    return QPixmap::fromImage(image);
}

} // namespace lum
