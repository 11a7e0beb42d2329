#include "platform/ui/line.h"

#include "platform/ui/twips.h"

#include <QPainter>

namespace platform {

Line::Line(QWidget *parent, const QString &name, int x1, int y1, int x2, int y2)
    : QWidget(parent)
{
    setObjectName(name);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    const QRect box = QRect(QPoint(px(x1), px(y1)), QPoint(px(x2), px(y2))).normalized();
    setGeometry(box.adjusted(0, 0, 1, 1));
    line_ = QLine(px(x1) - box.left(), px(y1) - box.top(), px(x2) - box.left(), px(y2) - box.top());
}

void Line::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawLine(line_);
}

} // namespace platform
