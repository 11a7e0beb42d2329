#include "access/atspiannouncements.h"

#include <QAccessible>

#ifdef ZAQ_HAVE_DBUS
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#endif

namespace platform {

namespace {

#ifdef ZAQ_HAVE_DBUS
const QString RegistryService = QStringLiteral("org.a11y.atspi.Registry");
const QString RegistryPath = QStringLiteral("/org/a11y/atspi/registry");
#if QT_VERSION < QT_VERSION_CHECK(6, 8, 0)
constexpr int Polite = 1; // waits for what is being spoken
#endif

// The connection Qt's accessibility bridge made to the accessibility bus
// (it names it "a11y"); not connected while no screen reader is active.
QDBusConnection accessibilityBus()
{
    return QDBusConnection(QStringLiteral("a11y"));
}
#endif

} // namespace

AtspiAnnouncements::AtspiAnnouncements(QObject *parent) : QObject(parent)
{
    watch();
}

bool AtspiAnnouncements::takesAnnouncements(const QString &event)
{
    const QStringList parts = event.toLower().split(u':', Qt::SkipEmptyParts);
    const QStringList ours{QStringLiteral("object"), QStringLiteral("announcement")};
    if (parts.isEmpty() || parts.size() > ours.size())
        return false;
    return parts == ours.first(parts.size());
}

bool AtspiAnnouncements::heard()
{
    watch();
    for (const auto &[bus, event] : std::as_const(listeners_)) {
        if (takesAnnouncements(event))
            return true;
    }
    return false;
}

#ifdef ZAQ_HAVE_DBUS

void AtspiAnnouncements::watch()
{
    QDBusConnection bus = accessibilityBus();
    if (watching_ || !bus.isConnected())
        return;
    watching_ = true;
    const QString registry = RegistryService;
    bus.connect(registry, RegistryPath, registry, QStringLiteral("EventListenerRegistered"), this,
                SLOT(listenerRegistered(QDBusMessage)));
    bus.connect(registry, RegistryPath, registry, QStringLiteral("EventListenerDeregistered"), this,
                SLOT(listenerDeregistered(QDBusMessage)));
    const QDBusMessage list = QDBusMessage::createMethodCall(registry, RegistryPath, registry,
                                                             QStringLiteral("GetRegisteredEvents"));
    auto *call = new QDBusPendingCallWatcher(bus.asyncCall(list, 5000), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, &AtspiAnnouncements::listenersListed);
}

void AtspiAnnouncements::listenerRegistered(const QDBusMessage &message)
{
    const QVariantList args = message.arguments();
    if (args.size() >= 2)
        listeners_.insert({args[0].toString(), args[1].toString()});
}

void AtspiAnnouncements::listenerDeregistered(const QDBusMessage &message)
{
    const QVariantList args = message.arguments();
    if (args.size() >= 2)
        listeners_.remove({args[0].toString(), args[1].toString()});
}

void AtspiAnnouncements::listenersListed(QDBusPendingCallWatcher *call)
{
    call->deleteLater();
    const QDBusMessage reply = call->reply();
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return;
    const QDBusArgument events = reply.arguments().constFirst().value<QDBusArgument>();
    events.beginArray();
    while (!events.atEnd()) {
        QString bus;
        QString event;
        events.beginStructure();
        events >> bus >> event;
        events.endStructure();
        listeners_.insert({bus, event});
    }
    events.endArray();
}

bool AtspiAnnouncements::announce(QObject *source, const QString &text)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    // Qt's own bridge sends the signal.
    QAccessibleAnnouncementEvent event(source, text);
    event.setPoliteness(QAccessible::AnnouncementPoliteness::Polite);
    QAccessible::updateAccessibility(&event);
    return true;
#else
    QDBusConnection bus = accessibilityBus();
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(source);
    if (!bus.isConnected() || !iface)
        return false;
    // The path under which Qt's bridge publishes the object.
    const QString path = QStringLiteral("/org/a11y/atspi/accessible/") + QString::number(QAccessible::uniqueId(iface));
    QDBusMessage signal = QDBusMessage::createSignal(path, QStringLiteral("org.a11y.atspi.Event.Object"),
                                                     QStringLiteral("Announcement"));
    signal << QString() << Polite << 0 << QVariant::fromValue(QDBusVariant(text)) << QVariantMap();
    return bus.send(signal);
#endif
}

#else

void AtspiAnnouncements::watch() {}

bool AtspiAnnouncements::announce(QObject *, const QString &)
{
    return false;
}

#endif

} // namespace platform
