#pragma once
// A colour field of the account dialog: a button whose whole face is its colour.

#include <QColor>
#include <QToolButton>

namespace lum {

class ColorField : public QToolButton {
    Q_OBJECT
public:
    using QToolButton::QToolButton;

    QColor color() const { return color_; }
    void setColor(const QColor &color)
    {
        color_ = color;
        update();
    }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor color_ = Qt::black;
};

} // namespace lum
