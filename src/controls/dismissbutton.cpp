#include "controls/dismissbutton.h"

#include <QPushButton>
#include <QShortcut>

namespace platform {

void makeDismissButton(QPushButton *ok)
{
    ok->setAutoDefault(true);
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), ok->window());
    QObject::connect(escape, &QShortcut::activated, ok, &QPushButton::click);
}

} // namespace platform
