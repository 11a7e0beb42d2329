#include "access/accessiblefactory.h"

#include "controls/form.h"
#include "access/longtextaccessible.h"
#include "access/notificationbox.h"
#include "access/printedpageaccessible.h"
#include "controls/longtextbox.h"
#include "controls/surface.h"
#include "access/transcriptaccessible.h"
#include "transcript/transcriptbox.h"

#include <QAccessibleWidget>

namespace platform {

namespace {

QAccessibleInterface *accessibleFor(const QString &, QObject *object)
{
    if (auto *form = qobject_cast<Form *>(object)) {
        const bool tool = (form->windowFlags() & Qt::WindowType_Mask) == Qt::Tool;
        return new QAccessibleWidget(form, tool ? QAccessible::Dialog : QAccessible::Window);
    }
    if (auto *surface = qobject_cast<Surface *>(object))
        return new PrintedPageAccessible(surface);
    if (auto *box = qobject_cast<TranscriptBox *>(object))
        return new TranscriptAccessible(box);
    if (auto *box = qobject_cast<LongTextBox *>(object))
        return new LongTextAccessible(box);
    if (auto *notification = qobject_cast<NotificationBox *>(object))
        return new QAccessibleWidget(notification, QAccessible::Notification);
    return nullptr;
}

} // namespace

void installAccessibleFactory()
{
    static const bool installed = [] {
        QAccessible::installFactory(accessibleFor);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace platform
