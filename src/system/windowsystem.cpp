#include "system/windowsystem.h"

#include <QProcessEnvironment>
#include <QtGlobal>

namespace platform {

QByteArray preferredWindowSystem(const QProcessEnvironment &environment)
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    if (!environment.value(QStringLiteral("QT_QPA_PLATFORM")).isEmpty())
        return {};
    const bool wayland = !environment.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty()
                         || environment.value(QStringLiteral("XDG_SESSION_TYPE")) == QLatin1String("wayland");
    const bool xwayland = !environment.value(QStringLiteral("DISPLAY")).isEmpty();
    return wayland && xwayland ? QByteArrayLiteral("xcb") : QByteArray();
#else
    Q_UNUSED(environment);
    return {};
#endif
}

void choosePreferredWindowSystem()
{
    const QByteArray chosen = preferredWindowSystem(QProcessEnvironment::systemEnvironment());
    if (!chosen.isEmpty())
        qputenv("QT_QPA_PLATFORM", chosen);
}

} // namespace platform
