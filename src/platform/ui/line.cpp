#include "platform/ui/line.h"

#include "platform/ui/twips.h"

#include <QFrame>

namespace platform {

QFrame *makeLine(QWidget *parent, const QString &name, int x1, int x2, int y)
{
    auto *line = new QFrame(parent);
    line->setObjectName(name);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setLineWidth(1);
    line->setAttribute(Qt::WA_TransparentForMouseEvents);
    line->setGeometry(px(x1), px(y), px(x2) - px(x1) + 1, 1);
    return line;
}

} // namespace platform
