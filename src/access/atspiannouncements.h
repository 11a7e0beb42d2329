#pragma once

#include <QObject>
#include <QSet>
#include <QString>

#include <utility>

#ifdef ZAQ_HAVE_DBUS
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#endif

namespace platform {

// The accessibility bus's Announcement signal (org.a11y.atspi.Event.Object,
// signature "siiva{sv}": detail, politeness, 0, the text, no properties),
// which Orca 45.2 and later speak at once. Built with Qt 6.8 or later it is
// Qt's own QAccessibleAnnouncementEvent; Qt 6.4 to 6.7 have no call for it,
// so it goes out on the connection Qt's own bridge opened to the bus, so that
// the screen reader finds its source in this program. The bus registry tells
// who listens for which events: the signal is sent only when someone
// listens for it. Without D-Bus (Windows, macOS) nothing is ever heard.
class AtspiAnnouncements : public QObject
{
    Q_OBJECT

public:
    explicit AtspiAnnouncements(QObject *parent);

    // Whether a listener on the bus takes announcements.
    bool heard();
    // Sends `text` as an announcement of `source`; false if it could not.
    bool announce(QObject *source, const QString &text);

    // Whether a listener registered for `event` ("object:announcement",
    // "object:", ...) receives the Announcement signal.
    static bool takesAnnouncements(const QString &event);

#ifdef ZAQ_HAVE_DBUS
private slots:
    void listenerRegistered(const QDBusMessage &message);
    void listenerDeregistered(const QDBusMessage &message);
    void listenersListed(QDBusPendingCallWatcher *call);
#endif

private:
    void watch();

    bool watching_ = false;
    QSet<std::pair<QString, QString>> listeners_; // (bus name, event)
};

} // namespace platform
