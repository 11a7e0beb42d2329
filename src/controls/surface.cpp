#include "controls/surface.h"

#include "controls/twips.h"

#include <QPainter>

namespace platform {

Surface::Surface(QWidget *parent) : QWidget(parent) {}

int Surface::lineHeightTwips() const
{
    return twips(fontMetrics().height());
}

void Surface::print(const QString &text)
{
    lines_.append({text, currentY_});
    currentY_ += lineHeightTwips();
    update();
}

void Surface::paintEvent(QPaintEvent *)
{
    if (lines_.isEmpty())
        return;
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::WindowText));
    const int ascent = fontMetrics().ascent();
    for (const PrintedLine &line : lines_)
        painter.drawText(0, px(line.topTwips) + ascent, line.text);
}

} // namespace platform
