#include "system/devicepixels.h"

#include <QEvent>
#include <QFrame>
#include <QImage>
#include <QPainter>
#include <QStyleOptionFrame>
#include <QtMath>

namespace platform {

QRect wholeDevicePixels(const QPainter &painter, const QRectF &logical)
{
    const QRectF device = painter.deviceTransform().mapRect(logical);
    const QPoint topLeft(qCeil(device.left() - 1e-6), qCeil(device.top() - 1e-6));
    const QPoint end(qFloor(device.right() + 1e-6), qFloor(device.bottom() + 1e-6));
    return QRect(topLeft, end - QPoint(1, 1));
}

void fillDevicePixels(QPainter &painter, const QRect &device, const QColor &colour)
{
    // Mapped back to the painter's coordinates: an aliased fill of a rectangle
    // that covers whole device pixels paints exactly those.
    painter.fillRect(painter.deviceTransform().inverted().mapRect(QRectF(device)), colour);
}

FrameOnTop::FrameOnTop(QFrame *frame) : QWidget(frame), frame_(frame)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(frame->rect());
    frame->installEventFilter(this);
    raise();
}

bool FrameOnTop::eventFilter(QObject *, QEvent *event)
{
    if (event->type() == QEvent::Resize)
        setGeometry(frame_->rect());
    else if (event->type() == QEvent::ChildAdded)
        raise();
    return false;
}

void FrameOnTop::paintEvent(QPaintEvent *)
{
    const qreal ratio = devicePixelRatioF();
    if (ratio == qFloor(ratio))
        return; // whole scales: the frame's own drawing is whole
    // The style's frame drawn small, a device pixel a pixel, gives the colour
    // of each edge.
    QImage sample(8, 8, QImage::Format_ARGB32_Premultiplied);
    sample.fill(Qt::transparent);
    {
        QPainter small(&sample);
        QStyleOptionFrame option;
        option.initFrom(frame_);
        option.rect = sample.rect();
        option.frameShape = frame_->frameShape();
        option.lineWidth = 1;
        if (frame_->frameShadow() == QFrame::Sunken)
            option.state |= QStyle::State_Sunken;
        else if (frame_->frameShadow() == QFrame::Raised)
            option.state |= QStyle::State_Raised;
        style()->drawPrimitive(QStyle::PE_Frame, &option, &small, frame_);
    }
    QPainter painter(this);
    const QRect d = wholeDevicePixels(painter, rect());
    fillDevicePixels(painter, QRect(d.left(), d.top(), d.width(), 1), sample.pixelColor(4, 0));
    fillDevicePixels(painter, QRect(d.left(), d.bottom(), d.width(), 1), sample.pixelColor(4, 7));
    fillDevicePixels(painter, QRect(d.left(), d.top(), 1, d.height()), sample.pixelColor(0, 4));
    fillDevicePixels(painter, QRect(d.right(), d.top(), 1, d.height()), sample.pixelColor(7, 4));
}

} // namespace platform
