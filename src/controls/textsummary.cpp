#include "controls/textsummary.h"

#include <QLineEdit>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>

namespace platform {

void paintSummary(QLineEdit *box, const QString &summary)
{
    QPainter painter(box);
    QStyleOptionFrame panel;
    panel.initFrom(box);
    panel.lineWidth = box->hasFrame() ? box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &panel, box) : 0;
    panel.midLineWidth = 0;
    panel.state |= QStyle::State_Sunken;
    box->style()->drawPrimitive(QStyle::PE_PanelLineEdit, &panel, &painter, box);
    const QRect text = box->style()->subElementRect(QStyle::SE_LineEditContents, &panel, box).adjusted(4, 0, -4, 0);
    painter.setPen(box->palette().color(QPalette::PlaceholderText));
    painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter, summary);
}

} // namespace platform
