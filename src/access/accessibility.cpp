#include "access/accessibility.h"

#include <QAbstractButton>

namespace platform {

void describe(QWidget *control, const QString &name, const QString &tooltip)
{
    if (!name.isEmpty())
        control->setAccessibleName(name);
    if (!tooltip.isEmpty()) {
        control->setToolTip(tooltip);
        control->setAccessibleDescription(tooltip);
    }
}

void returnFocusAfterClick(QAbstractButton *button, QWidget *target)
{
    QObject::connect(button, &QAbstractButton::clicked, target, [target] {
        // The click's own handler may have hidden the window in the meantime.
        if (target->isVisible() && target->isEnabled())
            target->setFocus(Qt::OtherFocusReason);
    });
}

} // namespace platform
