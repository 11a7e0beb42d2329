#include "access/bridgemessages.h"

#include <QMessageLogContext>

#include <cstring>

namespace platform {

namespace {

QtMessageHandler previousHandler = nullptr;

void filterBridgeMessages(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (isBridgeChatter(type, context.category, message))
        return;
    if (previousHandler)
        previousHandler(type, context, message);
}

} // namespace

bool isBridgeChatter(QtMsgType type, const char *category, const QString &message)
{
    if (type != QtWarningMsg || !category || std::strcmp(category, "qt.accessibility.atspi") != 0)
        return false;
    return message.startsWith(QLatin1String("Could not find accessible on path"))
           || message.startsWith(QLatin1String("Subscription string not handled"));
}

void installBridgeMessageFilter()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    previousHandler = qInstallMessageHandler(filterBridgeMessages);
}

} // namespace platform
