#include "access/notificationbox.h"

namespace platform {

NotificationBox::NotificationBox(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Notification"));
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setGeometry(0, 0, 0, 0); // takes no room and draws nothing
    hide();
}

void NotificationBox::present(const QString &message)
{
    // Hidden first, so that every message, the same one again included,
    // appears as a new notification.
    hide();
    setAccessibleName(message);
    show();
}

} // namespace platform
