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
#include <QApplication>

namespace platform {

namespace {

// A plain widget that hands its focus on (a scroll area's viewport hands it
// to the scroll area, the transcript to the input box): hasFocus() follows
// the chain, so the default interface would call it focused beside the
// control that really has the focus. It is focused only when it is the
// focus widget itself.
class HandsOnFocusAccessible : public QAccessibleWidget
{
public:
    using QAccessibleWidget::QAccessibleWidget;

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.focused = QApplication::focusWidget() == widget();
        return state;
    }
};

QAccessibleInterface *accessibleFor(const QString &className, QObject *object)
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
    // Asked with the class name of the object itself, so controls of their
    // own class keep the interfaces Qt gives them.
    if (auto *widget = qobject_cast<QWidget *>(object);
        widget && className == QLatin1String("QWidget") && widget->focusProxy())
        return new HandsOnFocusAccessible(widget);
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
