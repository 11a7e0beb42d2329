#include "controls/line.h"

#include "system/devicepixels.h"
#include "controls/twips.h"

#include <QFrame>
#include <QPainter>
#include <QtMath>

namespace platform {

namespace {

// A horizontal rule drawn on whole device pixels from the row where it
// starts: at a fractional scale (1.25) a one-pixel frame line falls between
// device pixels or under the menu bar that shares its first row. It is one
// pixel taller than the line, so that a whole device row of it lies inside.
class Rule : public QFrame
{
public:
    using QFrame::QFrame;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        const int thickness = qMax(1, qFloor(devicePixelRatioF()));
        const QRect span = wholeDevicePixels(painter, QRectF(0, 0, width(), 1));
        fillDevicePixels(painter, QRect(span.left(), span.top(), span.width(), thickness),
                         palette().color(QPalette::WindowText));
    }
};

} // namespace

QFrame *makeLine(QWidget *parent, const QString &name, int x1, int x2, int y)
{
    auto *line = new Rule(parent);
    line->setObjectName(name);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setLineWidth(1);
    line->setAttribute(Qt::WA_TransparentForMouseEvents);
    line->setGeometry(px(x1), px(y), px(x2) - px(x1) + 1, 2);
    return line;
}

} // namespace platform
