#pragma once

#include <QRect>
#include <QWidget>

class QFrame;
class QPainter;

namespace platform {

// At a fractional scale (1.25, 1.5: QT_SCALE_FACTOR, or Xft.dpi 120) a logical
// pixel covers a fraction of a device pixel, and a one-pixel line drawn at a
// control's edge can fall between pixels or under a neighbour painted later.
// These helpers draw such lines on whole device pixels inside the control.

// The device pixels that lie wholly inside `logical` (painter coordinates),
// in the painter's device coordinates.
QRect wholeDevicePixels(const QPainter &painter, const QRectF &logical);
// Fills whole device pixels (device coordinates of the painter) with a colour.
void fillDevicePixels(QPainter &painter, const QRect &device, const QColor &colour);

// Draws a text box's own frame again above its children (the view and the
// scroll bar), on whole device pixels, where the scale is fractional: there
// the children cover the frame's right and bottom edges.
class FrameOnTop : public QWidget
{
public:
    explicit FrameOnTop(QFrame *frame);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QFrame *frame_;
};

} // namespace platform
