#pragma once
// The three built-in notification pictures, drawn at run time so that no image file has to
// ship with the programs: an envelope in the normal state, the envelope with a blue arrow
// while a check runs, and the envelope with a red mark when mail has arrived.

#include <QImage>

class QPainter;
class QRectF;
class QColor;

namespace lum {

enum class BuiltInIcon { Normal = 0, Working = 1, Arrival = 2 };

// A square picture of the given side in pixels (16 or more looks right), transparent
// outside the drawing. Needs no application object.
QImage builtInIconImage(BuiltInIcon which, int side = 32);

// The pieces the pictures are drawn from, for other pictures in the same style: an envelope
// filling r, and a blue arrow pointing down whose tip reaches tipY, in a square of side s.
void drawEnvelope(QPainter &p, const QRectF &r, const QColor &paper);
void drawDownArrow(QPainter &p, qreal s, qreal tipY);

} // namespace lum
